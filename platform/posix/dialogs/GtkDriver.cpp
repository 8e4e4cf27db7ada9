#include "platform/posix/dialogs/GtkDriver.h"

namespace zyq::platform::posix {
namespace {

// Presses and releases a key in the window, as the keyboard delivers it: the window passes it
// to its focused widget, whose key handling and input method act on it.
void SendKey(GtkWidget* window, guint keyval) {
  GdkDisplay* display = gtk_widget_get_display(window);
  guint16 keycode = 0;
  guint8 group = 0;
  GdkModifierType state = static_cast<GdkModifierType>(0);
  GdkKeymapKey* keys = nullptr;
  gint count = 0;
  if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys,
                                        &count) &&
      count > 0) {
    keycode = static_cast<guint16>(keys[0].keycode);
    group = static_cast<guint8>(keys[0].group);
    if (keys[0].level == 1) state = GDK_SHIFT_MASK;
  }
  g_free(keys);
  for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
    GdkEvent* event = gdk_event_new(type);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.keyval = keyval;
    event->key.state = state;
    event->key.hardware_keycode = keycode;
    event->key.group = group;
    gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
    gtk_main_do_event(event);
    gdk_event_free(event);
  }
}

void CollectTexts(GtkWidget* widget, std::vector<std::string>& texts) {
  if (GTK_IS_LABEL(widget)) {
    texts.emplace_back(gtk_label_get_text(GTK_LABEL(widget)));
  } else if (GTK_IS_BUTTON(widget) && gtk_button_get_label(GTK_BUTTON(widget)) != nullptr) {
    texts.emplace_back(gtk_button_get_label(GTK_BUTTON(widget)));
    return;
  }
  if (GTK_IS_CONTAINER(widget)) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* child = children; child != nullptr; child = child->next) {
      CollectTexts(GTK_WIDGET(child->data), texts);
    }
    g_list_free(children);
  }
}

class Driver final : public WindowDriver {
 public:
  explicit Driver(Shown& shown) : shown_(shown) {}

  std::string Kind() const override { return shown_.kind; }
  std::string Caption() const override {
    const gchar* title = gtk_window_get_title(GTK_WINDOW(shown_.window));
    return title != nullptr ? title : "";
  }
  std::vector<std::string> Texts() const override {
    std::vector<std::string> texts;
    CollectTexts(shown_.window, texts);
    return texts;
  }
  std::pair<int, int> Size() const override {
    int width = 0, height = 0;
    gtk_window_get_size(GTK_WINDOW(shown_.window), &width, &height);
    return {width, height};
  }
  std::string BoxText(int id) const override { return EntryText(Widget(id)); }
  bool Enabled(int id) const override {
    GtkWidget* widget = Widget(id);
    return widget != nullptr && gtk_widget_is_sensitive(widget);
  }
  int BoxLimit(int id) const override {
    GtkWidget* widget = Widget(id);
    return widget != nullptr && GTK_IS_ENTRY(widget) ? gtk_entry_get_max_length(GTK_ENTRY(widget))
                                                     : 0;
  }
  bool BoxHidesText(int id) const override {
    GtkWidget* widget = Widget(id);
    return widget != nullptr && GTK_IS_ENTRY(widget) &&
           !gtk_entry_get_visibility(GTK_ENTRY(widget));
  }
  void TypeInto(int id, std::string_view text) override {
    GtkWidget* widget = Widget(id);
    if (widget == nullptr || !GTK_IS_ENTRY(widget)) return;
    gtk_widget_grab_focus(widget);
    gtk_editable_set_position(GTK_EDITABLE(widget), -1);
    Pump();
    for (const gchar* p = text.data(); p < text.data() + text.size();) {
      const gunichar c = g_utf8_get_char_validated(p, text.data() + text.size() - p);
      if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) break;
      SendKey(shown_.window, gdk_unicode_to_keyval(c));
      p = g_utf8_next_char(p);
    }
    Pump();
  }
  void ClearBox(int id) override {
    GtkWidget* widget = Widget(id);
    if (widget != nullptr && GTK_IS_EDITABLE(widget)) {
      gtk_editable_delete_text(GTK_EDITABLE(widget), 0, -1);
    }
    Pump();
  }
  void Click(int id) override {
    GtkWidget* widget = Widget(id);
    if (widget != nullptr && GTK_IS_BUTTON(widget) && gtk_widget_is_sensitive(widget)) {
      gtk_button_clicked(GTK_BUTTON(widget));
    }
    Pump();
  }
  std::vector<std::string> ColumnHeaders() const override {
    std::vector<std::string> headers;
    if (shown_.list == nullptr) return headers;
    const int n = static_cast<int>(gtk_tree_view_get_n_columns(shown_.list));
    for (int i = 0; i < n; ++i) {
      headers.emplace_back(
          gtk_tree_view_column_get_title(gtk_tree_view_get_column(shown_.list, i)));
    }
    return headers;
  }
  std::vector<std::vector<std::string>> Rows() const override {
    std::vector<std::vector<std::string>> rows;
    if (shown_.list == nullptr) return rows;
    GtkTreeModel* model = gtk_tree_view_get_model(shown_.list);
    const int columns = gtk_tree_model_get_n_columns(model);
    GtkTreeIter iter;
    for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more;
         more = gtk_tree_model_iter_next(model, &iter)) {
      std::vector<std::string> row;
      for (int c = 0; c < columns; ++c) {
        gchar* text = nullptr;
        gtk_tree_model_get(model, &iter, c, &text, -1);
        row.emplace_back(text != nullptr ? text : "");
        g_free(text);
      }
      rows.push_back(std::move(row));
    }
    return rows;
  }
  int SelectedRow() const override { return posix::SelectedRow(shown_.list); }
  void SelectRow(int row) override {
    if (shown_.list == nullptr) return;
    GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
    gtk_tree_view_set_cursor(shown_.list, path, nullptr, FALSE);
    gtk_tree_path_free(path);
    Pump();
  }
  std::vector<std::string> ViewedFiles() const override { return shown_.viewed; }
  std::vector<std::string> FilterNames() const override {
    std::vector<std::string> names;
    if (!GTK_IS_FILE_CHOOSER(shown_.window)) return names;
    GSList* filters = gtk_file_chooser_list_filters(GTK_FILE_CHOOSER(shown_.window));
    for (GSList* f = filters; f != nullptr; f = f->next) {
      names.emplace_back(gtk_file_filter_get_name(GTK_FILE_FILTER(f->data)));
    }
    g_slist_free(filters);
    return names;
  }
  std::string CurrentFolder() const override {
    if (!GTK_IS_FILE_CHOOSER(shown_.window)) return std::string();
    gchar* folder = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(shown_.window));
    std::string result = folder != nullptr ? folder : "";
    g_free(folder);
    return result;
  }
  void Choose(const std::string& path) override;
  void PressEnter() override {
    SendKey(shown_.window, GDK_KEY_Return);
    // A button activated from the keyboard shows itself pressed for a moment before it clicks.
    for (int i = 0; i < 40 && !shown_.closed; ++i) {
      Pump();
      g_usleep(10000);
    }
  }
  void Dismiss() override {
    SendKey(shown_.window, GDK_KEY_Escape);
    Pump();
  }
  bool Closed() const override { return shown_.closed; }
  bool SaveScreenshot(const std::string& pngPath) override {
    for (int i = 0; i < 5; ++i) {
      Pump();
      g_usleep(20000);
    }
    GdkWindow* window = gtk_widget_get_window(shown_.window);
    if (window == nullptr) return false;
    GdkPixbuf* pixbuf = gdk_pixbuf_get_from_window(window, 0, 0, gdk_window_get_width(window),
                                                   gdk_window_get_height(window));
    if (pixbuf == nullptr) return false;
    const gboolean saved = gdk_pixbuf_save(pixbuf, pngPath.c_str(), "png", nullptr, nullptr);
    g_object_unref(pixbuf);
    return saved == TRUE;
  }

 private:
  GtkWidget* Widget(int id) const {
    const auto it = shown_.widgets.find(id);
    return it != shown_.widgets.end() ? it->second : nullptr;
  }
  Shown& shown_;
};

void Driver::Choose(const std::string& path) {
  if (!GTK_IS_FILE_CHOOSER(shown_.window)) return;
  gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(shown_.window), path.c_str());
  for (int i = 0; i < 20; ++i) {
    Pump();
    g_usleep(5000);
  }
  gtk_dialog_response(GTK_DIALOG(shown_.window), GTK_RESPONSE_ACCEPT);
}

}  // namespace

std::unique_ptr<WindowDriver> NewWindowDriver(Shown& shown) {
  return std::make_unique<Driver>(shown);
}

}  // namespace zyq::platform::posix
