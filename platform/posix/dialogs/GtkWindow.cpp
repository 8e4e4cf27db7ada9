#include "platform/posix/dialogs/GtkWindow.h"

namespace zyq::platform::posix {

void Pump() {
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

std::string EntryText(GtkWidget* widget) {
  if (GTK_IS_ENTRY(widget)) return gtk_entry_get_text(GTK_ENTRY(widget));
  if (GTK_IS_TEXT_VIEW(widget)) {
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(widget));
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    gchar* text = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
    std::string result = text;
    g_free(text);
    return result;
  }
  return std::string();
}

int SelectedRow(GtkTreeView* list) {
  if (list == nullptr) return -1;
  GtkTreeModel* model = nullptr;
  GList* rows = gtk_tree_selection_get_selected_rows(gtk_tree_view_get_selection(list), &model);
  int index = -1;
  if (rows != nullptr) index = gtk_tree_path_get_indices(static_cast<GtkTreePath*>(rows->data))[0];
  g_list_free_full(rows, reinterpret_cast<GDestroyNotify>(gtk_tree_path_free));
  return index;
}

}  // namespace zyq::platform::posix
