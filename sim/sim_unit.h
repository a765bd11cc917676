// The simulated Velmoor transponder: its application answers the command language (a command
// is "#", a four-letter code and arguments, ended by CR LF; a reply echoes the command, its
// lines end with CR and the reply ends with LF), and a line break sends it into its bootloader
// ("Boot>" at 9600 bit/s). Command handlers are registered per four-letter code, so each
// subsystem teaches the unit its own commands. Faults can be switched on.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_line.h"
#include "sim/sim_unit_state.h"

struct SimFaults {
  bool silent = false;             // the application is hung: answers nothing (a break still works)
  bool hung = false;               // the application is hung until the next restart
  bool dead = false;               // nothing answers at all, not even the bootloader
  bool stuckInBootloader = false;  // "Q" and the watchdog sequence do not leave the bootloader
  bool noLf = false;               // replies lack their final LF
  uint32_t slowReplyMs = 0;        // extra delay before every reply
  bool garbage = false;            // replies are noise (NULs, bytes above 127), then LF
  // The application comes back only after this many readiness probes following a restart
  // (0: as soon as it has booted). Lets a test make the unit answer at, say, the 30th probe.
  int probesBeforeReady = 0;
  bool neverReturns = false;  // after leaving the bootloader the application never answers
};

class SimUnit : public SimFarEnd {
 public:
  enum class Mode { Application, Bootloader };

  // A handler gets the unit, the whole command line (without CR LF) and the text after the
  // code's comma (empty when none), and returns the reply's lines (without the echo), or
  // nothing to stay silent. reply.delayMs adds processing time; busyMs keeps the unit busy.
  struct Reply {
    std::vector<std::string> lines;
    uint32_t delayMs = 0;
    uint32_t busyMs = 0;  // not ready for "#DASP,0" for this long after the reply
    bool silent = false;
    bool noEcho = false;
    std::string raw;  // when set, sent as it stands instead of echo + lines
  };
  using Handler = std::function<Reply(SimUnit&, const std::string& line, const std::string& args)>;
  // A bootloader handler returns the bytes to send for a line it knows, or nothing.
  using BootHandler = std::function<std::optional<std::string>(SimUnit&, const std::string& line)>;

  explicit SimUnit(SimLine& line);

  void Handle(const std::string& code, Handler handler) { handlers_[code] = std::move(handler); }
  void HandleBoot(BootHandler handler) { bootHandlers_.push_back(std::move(handler)); }

  uint32_t Baud() const override { return mode_ == Mode::Bootloader ? bootBaud : appBaud; }
  void OnByte(SimLine& line, uint8_t b, uint64_t atUs) override;
  void OnBreak(SimLine& line, uint64_t startUs, uint64_t endUs) override;

  Mode mode() const { return mode_; }
  // Puts the unit into its bootloader at once (as if a break had come).
  void EnterBootloader(uint64_t atUs);
  // Leaves the bootloader: the application answers after it has booted.
  void StartApplication(uint64_t atUs);
  bool Ready(uint64_t atUs) const { return atUs >= readyAtUs_; }
  void MakeBusy(uint64_t untilUs) {
    if (untilUs > readyAtUs_) readyAtUs_ = untilUs;
  }
  uint64_t nowUs() { return line_.clock().NowUs(); }

  SimUnitState state;
  SimFaults faults;
  uint32_t appBaud = 9600;
  uint32_t bootBaud = 9600;
  uint32_t replyDelayMs = 20;   // the application's processing time
  uint32_t bootMs = 1500;       // from leaving the bootloader to answering
  uint32_t busyAfterMs = 3000;  // busy time after "#CKHW", "#INTP", "#STAD", "#ISFD"
  // Every command line the application or bootloader received, in order.
  std::vector<std::string> received;
  // How many breaks reached the unit.
  int breaks = 0;

  // The bytes the unit sends for a reply to the command line `echo`: the echo (unless noEcho)
  // and each line ended by CR, then LF (or the raw bytes), with the line faults applied.
  std::string Frame(const std::string& echo, const Reply& r) const;

  SimLine& line() { return line_; }
  // Sends bytes to the terminal starting at time t.
  // Returns when the last byte arrives at the terminal.
  uint64_t Send(const std::string& bytes, uint64_t t) { return line_.FarSend(bytes, t); }

 private:
  void OnLine(const std::string& line, uint64_t atUs);
  void OnBootLine(const std::string& line, uint64_t atUs);

  SimLine& line_;
  Mode mode_ = Mode::Application;
  uint64_t readyAtUs_ = 0;
  int probesSinceRestart_ = 0;
  bool restarted_ = false;
  std::string pending_;
  std::string bootPending_;
  std::map<std::string, Handler> handlers_;
  std::vector<BootHandler> bootHandlers_;
};
