// Placeholder until the platform test double lands.
