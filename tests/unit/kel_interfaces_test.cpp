// The engine binary calls by table position, so each listed operation must
// sit at its fixed slot. Under GCC's ABI a pointer to a virtual member
// function holds 1 plus the byte offset of its slot in the table.
#include "kel/kel_interfaces.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <new>

namespace {

struct SlotCase {
  const char* name;
  std::uintptr_t raw;  // the pointer's function word
  std::ptrdiff_t adjustment;
  std::size_t slot;
};

template <typename MemberPointer>
SlotCase slotCase(const char* name, MemberPointer member, std::size_t slot) {
  struct Representation {
    std::uintptr_t function;
    std::ptrdiff_t adjustment;
  } representation;
  static_assert(sizeof(member) == sizeof(representation), "GCC member pointer layout");
  std::memcpy(&representation, &member, sizeof representation);
  return {name, representation.function, representation.adjustment, slot};
}

void expectSlots(const SlotCase* begin, const SlotCase* end) {
  for (const SlotCase* c = begin; c != end; ++c) {
    EXPECT_EQ(c->raw, 1 + c->slot * sizeof(void*)) << c->name << " must be slot " << c->slot;
    EXPECT_EQ(c->adjustment, 0) << c->name;
  }
}

TEST(KelInterfaces, ModuleSlots) {
  const SlotCase cases[] = {
      slotCase("release", &kel::IModule::release, 0),
      slotCase("createProcessor", &kel::IModule::createProcessor, 1),
      slotCase("createView", &kel::IModule::createView, 2),
  };
  expectSlots(std::begin(cases), std::end(cases));
}

TEST(KelInterfaces, ProcessorSlots) {
  const SlotCase cases[] = {
      slotCase("release", &kel::IProcessor::release, 0),
      slotCase("initialize", &kel::IProcessor::initialize, 1),
      slotCase("terminate", &kel::IProcessor::terminate, 2),
      slotCase("getFlags", &kel::IProcessor::getFlags, 3),
      slotCase("activate", &kel::IProcessor::activate, 4),
      slotCase("deactivate", &kel::IProcessor::deactivate, 5),
      slotCase("getDefaultOutputCount", &kel::IProcessor::getDefaultOutputCount, 6),
      slotCase("setInputCount", &kel::IProcessor::setInputCount, 7),
      slotCase("setOutputCount", &kel::IProcessor::setOutputCount, 8),
      slotCase("setBlockSize", &kel::IProcessor::setBlockSize, 9),
      slotCase("setSampleRate", &kel::IProcessor::setSampleRate, 10),
      slotCase("process", &kel::IProcessor::process, 12),
      slotCase("getParameterCount", &kel::IProcessor::getParameterCount, 13),
      slotCase("getParameterInfo", &kel::IProcessor::getParameterInfo, 14),
      slotCase("getParameter", &kel::IProcessor::getParameter, 15),
      slotCase("setParameter", &kel::IProcessor::setParameter, 16),
      slotCase("getChunkSize", &kel::IProcessor::getChunkSize, 17),
      slotCase("setChunk", &kel::IProcessor::setChunk, 18),
      slotCase("getChunk", &kel::IProcessor::getChunk, 19),
      slotCase("processEvents", &kel::IProcessor::processEvents, 20),
      slotCase("idle", &kel::IProcessor::idle, 21),
  };
  expectSlots(std::begin(cases), std::end(cases));
}

TEST(KelInterfaces, ViewSlots) {
  const SlotCase cases[] = {
      slotCase("release", &kel::IView::release, 0), slotCase("getSize", &kel::IView::getSize, 2),
      slotCase("open", &kel::IView::open, 4),       slotCase("close", &kel::IView::close, 6),
      slotCase("update", &kel::IView::update, 9),   slotCase("idle", &kel::IView::idle, 10),
  };
  expectSlots(std::begin(cases), std::end(cases));
}

TEST(KelInterfaces, HostSlots) {
  const SlotCase cases[] = {
      slotCase("getVersion", &kel::IHost::getVersion, 0),
      slotCase("parameterChanged", &kel::IHost::parameterChanged, 1),
      slotCase("getTempo", &kel::IHost::getTempo, 2),
      slotCase("getHostFlag", &kel::IHost::getHostFlag, 3),
  };
  expectSlots(std::begin(cases), std::end(cases));
}

// A fresh record must read as "nothing described" even in memory that held
// garbage, since the engine may fill only some fields.
TEST(SParameterInfo, FreshRecordIsZeroAfterTheTablePointer) {
  alignas(kel::SParameterInfo) unsigned char storage[sizeof(kel::SParameterInfo)];
  std::memset(storage, 0xAB, sizeof storage);
  auto* info = new (storage) kel::SParameterInfo;

  EXPECT_EQ(info->name, nullptr);
  EXPECT_EQ(info->label, nullptr);
  EXPECT_EQ(info->displayType, 0);
  EXPECT_EQ(info->minimum, 0);
  EXPECT_EQ(info->maximum, 0);
  EXPECT_EQ(info->unused24, 0);
  EXPECT_EQ(info->decimals, 0);
  EXPECT_EQ(info->minimumText, nullptr);
  EXPECT_EQ(info->maximumText, nullptr);
  EXPECT_EQ(info->curve, 0);
  EXPECT_EQ(info->logBase, 0u);
  EXPECT_EQ(info->valueNames, nullptr);
  EXPECT_EQ(info->automatable, 0);

  void* table = nullptr;
  std::memcpy(&table, storage, sizeof table);
  EXPECT_NE(table, nullptr);

  // On the 32-bit target the record has no hidden padding: bytes 4 to 55
  // are exactly what the engine sees.
  if (sizeof(void*) == 4) {
    for (std::size_t offset = 4; offset < sizeof storage; ++offset) {
      EXPECT_EQ(storage[offset], 0) << "byte " << offset;
    }
  }
  info->~SParameterInfo();
}

}  // namespace
