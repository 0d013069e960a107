#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Stands in for the main window as the owner of the chooser and the search
// dialog: it hands its idle notifications to SearchIdleStep as the main
// window does, and notes the search dialog's count line around each.
HWND SearchOwner();

struct OwnerLog {
  // Idle notifications that came from the search dialog.
  int searchIdles = 0;
  // Every count line text seen, without repeats in a row.
  std::vector<std::string> countTexts;
};
extern OwnerLog ownerLog;

// The dialog's list box items and other controls, as the tests read them.
struct ListedFolder {
  std::string text;
  uint32_t data;
};
std::vector<ListedFolder> ReadFolderList(HWND chooser);
int FolderSelection(HWND chooser);
std::string ControlText(HWND dialog, int id);
std::string DriveSelectionText(HWND chooser);
// A double click on item index as the mouse makes it, scrolled into view.
void DoubleClickFolder(HWND chooser, int index);
int FindFolder(HWND chooser, const std::string& text);
