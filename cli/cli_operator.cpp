#include "cli/cli_operator.h"

#include <cctype>

#include "quickset/quickset_dlg.h"

namespace {

std::string OneLine(const std::string& text) {
  std::string s = TerminalText(text);
  while (!s.empty() && s.back() == '\n') s.pop_back();
  return s;
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// Selects the list entry named like `wanted` (in any case); an error names the choices.
void Choose(ListControl& list, const std::string& wanted, const char* option) {
  if (wanted.empty()) return;
  for (const std::string& item : list.items) {
    if (SameName(item, wanted)) {
      list.Select(item);
      return;
    }
  }
  std::string choices;
  for (const std::string& item : list.items) choices += (choices.empty() ? "" : ", ") + item;
  throw CliUsageError(std::string(option) + " " + wanted + " is not offered; choose one of: " + choices);
}

}  // namespace

std::string TerminalText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

MbAnswer CliOperator::MessageBox(const std::string& text, const std::string& caption, MbButtons buttons, MbIcon) {
  const std::string shown = (caption.empty() ? "" : caption + ": ") + OneLine(text);
  if (buttons == MbButtons::YesNo) throw CliUsageError("a question the command line cannot name: " + shown);
  std::fprintf(out_, "%s\n", shown.c_str());
  return buttons == MbButtons::Ok ? MbAnswer::Ok : MbAnswer::Cancel;
}

MbAnswer CliOperator::AskAt(Question id, int step, const std::string& text, const std::string& caption, MbIcon) {
  const std::string shown = (caption.empty() ? "" : caption + ": ") + OneLine(text);
  std::optional<bool> yes;
  if (auto it = answerFor.find(id); it != answerFor.end()) {
    yes = it->second.yes;
    source_ = it->second.option;
  } else if (answer) {
    yes = answer;
    source_ = *answer ? "--yes" : "--no";
  } else if (auto d = defaults.find(id); d != defaults.end()) {
    yes = d->second;
    source_ = "default";
  } else {
    throw CliUsageError(std::string("this question (") + QuestionName(id) + ") needs --yes or --no: " + shown);
  }
  // The times this step was asked before: none for a first answer, which is always the option's.
  const int repeat = asked_[{id, step}]++;
  if (*yes && repeat > retries) {
    source_ = "--retries " + std::to_string(retries);
    std::fprintf(out_, "%s\n  -> No (retried %d time%s with no progress; --retries %d)\n", shown.c_str(), retries,
                 retries == 1 ? "" : "s", retries);
    return MbAnswer::No;
  }
  std::fprintf(out_, "%s\n  -> %s (%s)\n", shown.c_str(), *yes ? "Yes" : "No", source_.c_str());
  return *yes ? MbAnswer::Yes : MbAnswer::No;
}

std::optional<std::string> CliOperator::Entry(const std::string& title, const std::string&, bool) {
  if (!entry) throw CliUsageError("this prompt needs --entry TEXT: " + OneLine(title));
  source_ = "--entry";
  std::fprintf(out_, "%s\n  -> %s\n", OneLine(title).c_str(), entry->c_str());
  return entry;
}

std::optional<std::string> CliOperator::ChooseFile(const std::string&, int) {
  if (file.empty()) return std::nullopt;
  return file;
}

PortChoice CliOperator::SelectPort(const std::vector<bool>&) {
  std::fprintf(out_, "No unit answered on COM1 to COM10; name its port with --port N\n");
  return PortChoice{0};
}

void CliOperator::SetProgress(int percent) {
  asked_.clear();  // progress: every question after it is a first answer again
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  std::fprintf(out_, "%d%%\n", percent);
}

DialogEnd CliOperator::RunQuicksetDialog(CQuicksetDlg& d) {
  d.OnInitDialog();
  const CQuicksetDlg::SchemeButton* pressed = nullptr;
  std::string offered;
  for (const auto& b : d.buttons) {
    if (!b.visible) continue;
    offered += (offered.empty() ? "" : " ") + std::string(b.caption);
    if (SameName(b.caption, scheme)) pressed = &b;
  }
  if (!pressed) throw CliUsageError("scheme " + scheme + " is not offered by this unit; it offers " + offered);
  d.OnSchemeButton(pressed->id);
  Choose(d.power, power, "--power");
  Choose(d.gain, gain, "--gain");
  d.OnSet();
  return d.end;
}

DialogEnd CliOperator::RunAdvancedDialog(CAdvancedDlg&) {
  throw CliUsageError("this unit has no quickset schemes (its settings need the window's advanced dialog)");
}

DialogEnd CliOperator::RunAddressDialog(CAddressDlg&) { throw CliUsageError("the address dialog needs the window"); }
