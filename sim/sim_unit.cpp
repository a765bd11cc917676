#include "sim/sim_unit.h"

#include <cstring>

namespace {
const size_t kMaxLine = 2000;  // what the unit keeps of one received line

std::string CodeOf(const std::string& line) {
  if (line.size() >= 5 && line[0] == '#') return line.substr(1, 4);
  return std::string();
}

std::string ArgsOf(const std::string& line) {
  auto comma = line.find(',');
  return comma == std::string::npos ? std::string() : line.substr(comma + 1);
}

bool IsFollowUpCode(const std::string& code) {
  return code == "CKHW" || code == "INTP" || code == "STAD" || code == "ISFD";
}
}  // namespace

SimUnit::SimUnit(SimLine& line) : line_(line) {
  line_.Attach(this);
  Handle("RRTC", [](SimUnit& u, const std::string&, const std::string&) {
    Reply r;
    r.lines.push_back("RTC " + u.state.clockText);
    return r;
  });
}

void SimUnit::OnByte(SimLine&, uint8_t b, uint64_t atUs) {
  std::string& pending = mode_ == Mode::Bootloader ? bootPending_ : pending_;
  if (b == '\r') {
    std::string l;
    l.swap(pending);
    if (mode_ == Mode::Bootloader) OnBootLine(l, atUs);
    else OnLine(l, atUs);
  } else if (b != '\n') {
    // A '#' starts a command afresh, whatever noise came before it.
    if (b == '#' && mode_ == Mode::Application) pending.clear();
    if (pending.size() < kMaxLine) pending.push_back(static_cast<char>(b));
  }
}

void SimUnit::OnBreak(SimLine& line, uint64_t startUs, uint64_t endUs) {
  ++breaks;
  line.DropFarOutputAfter(startUs);
  EnterBootloader(endUs);
}

void SimUnit::EnterBootloader(uint64_t) {
  mode_ = Mode::Bootloader;
  bootBaud = 9600;
  pending_.clear();
  bootPending_.clear();
}

void SimUnit::StartApplication(uint64_t atUs) {
  mode_ = Mode::Application;
  pending_.clear();
  bootPending_.clear();
  readyAtUs_ = atUs + static_cast<uint64_t>(bootMs) * 1000;
  probesSinceRestart_ = 0;
  restarted_ = true;
  faults.hung = false;
}

std::string SimUnit::Frame(const std::string& echo, const Reply& r) const {
  std::string text;
  if (!r.raw.empty()) {
    text = r.raw;
  } else {
    if (!r.noEcho) text = echo + "\r";
    for (const auto& l : r.lines) text += l + "\r";
    text += "\n";
  }
  if (faults.garbage) {
    std::string noise;
    for (size_t i = 0; i < text.size(); ++i) noise.push_back(static_cast<char>(i % 3 == 0 ? 0 : 0x80 + (i * 29) % 120));
    text = noise + "\n";
  }
  if (faults.noLf) {
    std::string cut;
    for (char c : text)
      if (c != '\n') cut.push_back(c);
    text = cut;
  }
  return text;
}

void SimUnit::OnLine(const std::string& line, uint64_t atUs) {
  received.push_back(line);
  if (faults.silent || faults.hung || faults.dead || line.empty()) return;
  if (!Ready(atUs)) return;  // still busy or booting: says nothing
  const std::string code = CodeOf(line);
  Reply r;
  if (code == "DASP") {
    if (restarted_) {
      ++probesSinceRestart_;
      if (faults.neverReturns || probesSinceRestart_ < faults.probesBeforeReady) return;
      restarted_ = false;
    }
    r.lines.push_back("DASP OK");
  } else {
    auto it = handlers_.find(code);
    if (it == handlers_.end()) {
      r.lines.push_back("Unknown command");
    } else {
      r = it->second(*this, line, ArgsOf(line));
    }
  }
  if (r.silent) return;
  const uint64_t sendAt = atUs + (static_cast<uint64_t>(replyDelayMs) + r.delayMs + faults.slowReplyMs) * 1000;
  const uint64_t doneAt = line_.FarSend(Frame(line, r), sendAt);
  uint32_t busy = r.busyMs ? r.busyMs : (IsFollowUpCode(code) ? busyAfterMs : 0);
  if (busy) MakeBusy(doneAt + static_cast<uint64_t>(busy) * 1000);
}

void SimUnit::OnBootLine(const std::string& line, uint64_t atUs) {
  received.push_back(line);
  if (faults.dead) return;
  const uint64_t sendAt = atUs + 5000;
  for (auto& h : bootHandlers_) {
    if (auto out = h(*this, line)) {
      if (!out->empty()) line_.FarSend(*out, sendAt);
      return;
    }
  }
  const std::string prompt = "Boot>\r\n";
  if (line == "Q" || line == "Wx7") {
    if (faults.stuckInBootloader) {
      line_.FarSend(prompt, sendAt);
      return;
    }
    const uint64_t done = line_.FarSend("\r\n", sendAt);
    StartApplication(done);
    return;
  }
  line_.FarSend(prompt, sendAt);
}
