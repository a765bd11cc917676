// How a long unit operation tells the operator where it is: it is shown, it names each step
// (with a percent where the operation knows how far it is), and it ends. The protocol layers
// speak only this; what the operator sees is bound above them.
#pragma once
#include <string>

class IOperator;

class IProgress {
 public:
  virtual ~IProgress() = default;
  // The operation begins; a second call while it is shown changes nothing.
  virtual void Shown() = 0;
  // The step under way. percent is 0..100 where the operation knows it, otherwise -1. A step
  // named while nothing is shown is not seen.
  virtual void Step(const std::string& caption, int percent = -1) = 0;
  // The operation ends (or pauses for a question to the operator); nothing is shown after.
  virtual void Ended() = 0;
  virtual bool Showing() const = 0;
};

// Progress on the operator's busy window: Shown shows it, each step is its caption (and a line
// in the session log), Ended hides it. shown is the flag the caller keeps for the window.
class BusyWindowProgress : public IProgress {
 public:
  BusyWindowProgress(IOperator& op, bool& shown) : op_(op), shown_(shown) {}
  void Shown() override;
  void Step(const std::string& caption, int percent = -1) override;
  void Ended() override;
  bool Showing() const override { return shown_; }

 private:
  IOperator& op_;
  bool& shown_;
};
