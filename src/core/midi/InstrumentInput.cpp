#include "core/midi/InstrumentInput.h"

#include "core/midi/Messages.h"

namespace rotavox {

ReceivedMeaning meaningOf(std::uint32_t message, int channel) {
  const int status = statusByte(message);
  const int data1 = data1Byte(message);
  const int data2 = data2Byte(message);
  if (channel < 0 || channel > 15 || (status & 0x0F) != channel || data1 > 127 || data2 > 127) return {};
  switch (status & 0xF0) {
    case kControlChangeStatus:
      if (data1 == InstrumentProgram::kBankSelectController)
        return data2 < InstrumentProgram::kBanks ? ReceivedMeaning{ReceivedMeaning::Kind::Bank, {}, data2}
                                                 : ReceivedMeaning{};
      if (const auto row = parameterOfController(data1)) return {ReceivedMeaning::Kind::Parameter, *row, data2};
      return {};
    case kProgramChangeStatus:
      if (data1 < InstrumentProgram::kSoundsPerBank) return {ReceivedMeaning::Kind::Program, {}, data1 + 1};
      return {};
    default: return {};
  }
}

void ReceivedBatch::add(const ReceivedMeaning& meaning) {
  switch (meaning.kind) {
    case ReceivedMeaning::Kind::Nothing: return;
    case ReceivedMeaning::Kind::Bank: bank_ = meaning.value; return;
    case ReceivedMeaning::Kind::Program:
      program_ = InstrumentProgram{bank_, meaning.value};
      last_ = emptyValues();
      order_.clear();
      return;
    case ReceivedMeaning::Kind::Parameter:
      std::int16_t& last = last_[index(meaning.row)];
      if (last < 0) order_.push_back(meaning.row);
      last = static_cast<std::int16_t>(meaning.value);
      return;
  }
}

std::vector<ReceivedValue> ReceivedBatch::values() const {
  std::vector<ReceivedValue> out;
  out.reserve(order_.size());
  for (Param row : order_) out.push_back({row, last_[index(row)]});
  return out;
}

void ReceivedBatch::clear() {
  last_ = emptyValues();
  order_.clear();
  program_.reset();
}

}  // namespace rotavox
