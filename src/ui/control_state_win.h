#pragma once
// The state of the standard controls as plain values.
#include <windows.h>

#include <string>

namespace kestro {

// A combo box's selected index (-1: none), its number of entries and the text of one of them.
int SelectedIndex(HWND combo);
int EntryCount(HWND combo);
std::string EntryText(HWND combo, int index);
// Adds an entry at the end with a value of its own kept beside the text; returns its index.
int AddEntry(HWND combo, const std::string& text, LPARAM data);
// The value kept beside an entry; 0 when there is no such entry.
LPARAM EntryData(HWND combo, int index);
// Selects the entry at index; an index outside the list leaves the box without a selection (said
// explicitly, as not every combo box clears itself for such an index).
void SelectIndex(HWND combo, int index);

// A check box or radio button is checked.
bool IsChecked(HWND button);
void SetChecked(HWND button, bool checked);

} // namespace kestro
