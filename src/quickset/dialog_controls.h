// The state of the controls of the settings dialogs, kept without any toolkit: the toolkit
// window pulls the operator's choices into these before it calls a handler, and pushes them
// back to its widgets afterwards.
#pragma once
#include <string>
#include <string_view>
#include <vector>

// A drop-down list: its entries and the text of the selected entry (empty: none selected), or
// the text typed into it when it is editable.
struct ListControl {
  std::vector<std::string> items;
  std::string text;
  // The operator may also type a text of their own; it is kept in text as typed.
  bool editable = false;

  void Clear() {
    items.clear();
    text.clear();
  }
  void Add(std::string_view item) { items.emplace_back(item); }
  // Selects the entry equal to the text; nothing is selected when no entry equals it.
  bool Select(std::string_view wanted) {
    for (const auto& item : items) {
      if (item == wanted) {
        text = item;
        return true;
      }
    }
    text.clear();
    return false;
  }
  // The index of the selected entry, -1 when none.
  int SelectedIndex() const {
    if (text.empty()) return -1;
    for (size_t i = 0; i < items.size(); ++i)
      if (items[i] == text) return static_cast<int>(i);
    return -1;
  }
};

// A message box (OK button, information icon) that a dialog asks its window to show while it
// stays open.
struct DialogMessage {
  std::string text;
  std::string caption;
};

// Fills a list with the text of every pair of address 1..47 and channel 0..14 that the address
// rule admits, in that nesting order.
void FillAddressPairs(ListControl& list, const char* band);
// Fills a list with the text of every HPR pair (first digit 0..9, second 0..9) that the HPR
// rule admits; the pair 0, 0 ("NF") comes first when withNone, else it is left out.
void FillHprPairs(ListControl& list, const char* band, bool withNone);
