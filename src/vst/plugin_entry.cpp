// Placeholder until the plug-in entry lands.
