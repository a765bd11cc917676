// A serial device that passes every call through to another one: the base of the recording
// wrappers that watch what goes over a line (they override only what they watch).
#pragma once
#include <memory>

#include "platform/serial_device.h"

class ForwardingDevice : public ISerialDevice {
 public:
  explicit ForwardingDevice(std::unique_ptr<ISerialDevice> inner) : inner_(std::move(inner)) {}
  bool SetQueueSizes(uint32_t i, uint32_t o) override { return inner_->SetQueueSizes(i, o); }
  bool GetLineSettings(LineSettings& out) override { return inner_->GetLineSettings(out); }
  bool SetLineSettings(const LineSettings& in) override { return inner_->SetLineSettings(in); }
  bool GetTimeouts(SerialTimeouts& out) override { return inner_->GetTimeouts(out); }
  bool SetTimeouts(const SerialTimeouts& in) override { return inner_->SetTimeouts(in); }
  bool Purge() override { return inner_->Purge(); }
  bool Write(const char* data, size_t n) override { return inner_->Write(data, n); }
  ReadResult Read(uint8_t* data, size_t n, size_t& got, IClock& clock, uint64_t deadlineUs) override {
    return inner_->Read(data, n, got, clock, deadlineUs);
  }
  bool SetBreak(bool on) override { return inner_->SetBreak(on); }
  void Close() override { inner_->Close(); }
  int LastError() const override { return inner_->LastError(); }
  bool Gone() const override { return inner_->Gone(); }

 private:
  std::unique_ptr<ISerialDevice> inner_;
};
