// What the GTK host and its test driver share about a window on screen: its parts by template
// id, and reading them. Part of the GTK module only.
#pragma once

#include <gtk/gtk.h>

#include <map>
#include <string>
#include <vector>

namespace zyq::platform::posix {

// One window on screen, with what the driver needs to reach its parts.
// One window on screen, with what the driver needs to reach its parts.
struct Shown {
  GtkWidget* window = nullptr;
  std::string kind;
  std::map<int, GtkWidget*> widgets;  // template id -> widget
  std::map<int, int> limits;          // box id -> character limit
  GtkTreeView* list = nullptr;
  std::vector<std::string> viewed;
  bool closed = false;
};

// Runs the toolkit's pending events.
void Pump();

// The text of an entry or a text view; empty for any other widget.
std::string EntryText(GtkWidget* widget);

// The selected row of a list, -1 when there is none (or no list).
int SelectedRow(GtkTreeView* list);

}  // namespace zyq::platform::posix
