// The GTK host (ZYQSEC_UI=gtk, and the default when a display is reachable): real modal windows
// laid out from the templates (dialog units scaled to pixels), GTK's own file and folder
// choosers, and the desktop's viewer for certificate files. Built into the GTK module, which
// the library loads on first use (GtkModule.h).
//
// GTK is started on the first dialog, on the calling thread, without touching the process's
// locale; a dialog asked for on any other thread is not created.
#include <gtk/gtk.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

#include "platform/Secret.h"
#include "platform/common/dialogs/HostBase.h"
#include "platform/posix/dialogs/GtkAutomation.h"
#include "platform/posix/dialogs/GtkModule.h"

namespace zyq::platform::posix {
namespace {

using common::FormSession;
using common::HostBase;
using common::KeyAccessPrompt;
using common::Picked;

// Dialog units to pixels: a quarter and an eighth of an 8 x 16 pixel character cell.
int PixelsX(int units) {
  return units * 2;
}
int PixelsY(int units) {
  return units * 2;
}

struct Toolkit {
  std::once_flag once;
  bool ready = false;
  // GTK may be driven only from the thread that started it.
  std::thread::id owner;
  WindowObserver observer;
};

Toolkit& TheToolkit() {
  static Toolkit toolkit;
  return toolkit;
}

bool StartToolkit() {
  Toolkit& toolkit = TheToolkit();
  std::call_once(toolkit.once, [&toolkit] {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((x11 == nullptr || *x11 == '\0') && (wayland == nullptr || *wayland == '\0')) return;
    // The engine formats numbers and dates itself: GTK must leave the C locale alone.
    gtk_disable_setlocale();
    toolkit.ready = gtk_init_check(nullptr, nullptr) == TRUE;
    toolkit.owner = std::this_thread::get_id();
  });
  return toolkit.ready;
}

// Whether the calling thread may show a window: the toolkit runs on the thread that started it,
// and a dialog asked for on any other thread cannot be created there.
bool OnToolkitThread() {
  return TheToolkit().owner == std::this_thread::get_id();
}

// A signal handler as GLib takes it (a plain function, not a macro argument).
template <typename Function>
GCallback Callback(Function* function) {
  return reinterpret_cast<GCallback>(function);
}

void Pump() {
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

// Lets entries and buttons take the template's heights instead of the theme's larger minimum.
void Compact(GtkWidget* widget) {
  static GtkCssProvider* provider = [] {
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(
        css,
        "entry, button { min-height: 0; padding-top: 1px; padding-bottom: 1px; }"
        "button { padding-left: 4px; padding-right: 4px; }",
        -1, nullptr);
    return css;
  }();
  gtk_style_context_add_provider(gtk_widget_get_style_context(widget), GTK_STYLE_PROVIDER(provider),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
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

void SetEntryText(GtkWidget* widget, const std::string& text) {
  if (GTK_IS_ENTRY(widget)) {
    gtk_entry_set_text(GTK_ENTRY(widget), text.c_str());
  } else if (GTK_IS_TEXT_VIEW(widget)) {
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(widget)), text.c_str(), -1);
  }
}

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
  int SelectedRow() const override;
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

int Driver::SelectedRow() const {
  if (shown_.list == nullptr) return -1;
  GtkTreeModel* model = nullptr;
  GList* rows =
      gtk_tree_selection_get_selected_rows(gtk_tree_view_get_selection(shown_.list), &model);
  int index = -1;
  if (rows != nullptr) index = gtk_tree_path_get_indices(static_cast<GtkTreePath*>(rows->data))[0];
  g_list_free_full(rows, reinterpret_cast<GDestroyNotify>(gtk_tree_path_free));
  return index;
}

void Driver::Choose(const std::string& path) {
  if (!GTK_IS_FILE_CHOOSER(shown_.window)) return;
  gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(shown_.window), path.c_str());
  for (int i = 0; i < 20; ++i) {
    Pump();
    g_usleep(5000);
  }
  gtk_dialog_response(GTK_DIALOG(shown_.window), GTK_RESPONSE_ACCEPT);
}

// Shows the window modally and waits for its response; with an observer, hands the window to it
// once it is on screen.
gint RunModal(Shown& shown) {
  g_signal_connect(shown.window, "response", Callback(+[](GtkDialog*, gint, gpointer data) {
                     static_cast<Shown*>(data)->closed = true;
                   }),
                   &shown);
  gtk_window_set_position(GTK_WINDOW(shown.window), GTK_WIN_POS_CENTER);
  gtk_window_set_modal(GTK_WINDOW(shown.window), TRUE);
  gtk_widget_show_all(shown.window);
  if (TheToolkit().observer) {
    g_timeout_add(
        50,
        +[](gpointer data) -> gboolean {
          Shown& shown = *static_cast<Shown*>(data);
          for (int i = 0; i < 5; ++i) {
            Pump();
            g_usleep(10000);
          }
          Driver driver(shown);
          const WindowObserver observer = TheToolkit().observer;
          if (observer) observer(driver);
          if (!shown.closed) gtk_dialog_response(GTK_DIALOG(shown.window), GTK_RESPONSE_CANCEL);
          return G_SOURCE_REMOVE;
        },
        &shown);
  }
  return gtk_dialog_run(GTK_DIALOG(shown.window));
}

void Destroy(Shown& shown) {
  gtk_widget_destroy(shown.window);
  Pump();
}

GtkWidget* NewDialog(const std::string& caption) {
  GtkWidget* dialog = gtk_dialog_new();
  gtk_window_set_title(GTK_WINDOW(dialog), caption.c_str());
  gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
  GtkWidget* header = gtk_header_bar_new();
  gtk_header_bar_set_title(GTK_HEADER_BAR(header), caption.c_str());
  gtk_header_bar_set_show_close_button(GTK_HEADER_BAR(header), TRUE);
  gtk_window_set_titlebar(GTK_WINDOW(dialog), header);
  gtk_container_set_border_width(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), 0);
  return dialog;
}

void Place(GtkWidget* fixed, GtkWidget* widget, const DialogRect& rect) {
  Compact(widget);
  gtk_widget_set_size_request(widget, PixelsX(rect.width), PixelsY(rect.height));
  gtk_fixed_put(GTK_FIXED(fixed), widget, PixelsX(rect.x), PixelsY(rect.y));
}

GtkWidget* MakeLabel(const DialogControl& control) {
  GtkWidget* label = gtk_label_new(control.text.c_str());
  gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
  gtk_label_set_yalign(GTK_LABEL(label), 0.0f);
  return label;
}

// A box: an entry, or for multi-line boxes a wrapping text view with a vertical scroll bar.
GtkWidget* MakeBox(const DialogControl& control, const std::string& text, GtkWidget** inner) {
  if (control.multiLine) {
    GtkWidget* view = gtk_text_view_new();
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(view), GTK_WRAP_CHAR);
    gtk_text_view_set_editable(GTK_TEXT_VIEW(view), !control.readOnly);
    gtk_text_view_set_cursor_visible(GTK_TEXT_VIEW(view), !control.readOnly);
    SetEntryText(view, text);
    GtkWidget* scroll = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroll), GTK_POLICY_NEVER,
                                   GTK_POLICY_ALWAYS);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroll), GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(scroll), view);
    *inner = view;
    return scroll;
  }
  GtkWidget* entry = gtk_entry_new();
  gtk_entry_set_max_length(GTK_ENTRY(entry), control.limit);
  gtk_entry_set_text(GTK_ENTRY(entry), text.c_str());
  gtk_editable_set_editable(GTK_EDITABLE(entry), !control.readOnly);
  gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
  if (control.password) {
    gtk_entry_set_visibility(GTK_ENTRY(entry), FALSE);
    gtk_entry_set_input_purpose(GTK_ENTRY(entry), GTK_INPUT_PURPOSE_PASSWORD);
  }
  *inner = entry;
  return entry;
}

// The GTK file pattern for a Windows one: "*.*" matches every name, dotted or not.
std::string GtkPattern(const std::string& pattern) {
  return pattern == "*.*" ? "*" : pattern;
}

class GtkHost final : public HostBase {
 protected:
  DialogAnswer ShowForm(FormSession& session) override;
  DialogAnswer ShowList(const ListDialog& dialog, int& selected) override;
  PickerOutcome ShowPicker(const PickerRequest& request) override;
  bool ShowKeyAccess(const KeyAccessPrompt& prompt) override;
};

struct FormWindow {
  GtkHost* host;
  FormSession* session;
  Shown shown;
  bool pushing = false;

  void Pull() {
    for (const DialogControl& control : session->dialog().controls) {
      if (control.kind == ControlKind::kEdit && !control.readOnly) {
        std::string text = EntryText(shown.widgets[control.id]);
        session->Type(control.id, text);
        SecureWipe(text.data(), text.size());
      }
    }
  }
  void PushReadOnly() {
    pushing = true;
    for (const DialogControl& control : session->dialog().controls) {
      if (control.kind == ControlKind::kEdit && control.readOnly) {
        SetEntryText(shown.widgets[control.id], session->values().Get(control.id));
      }
    }
    pushing = false;
  }
  void UpdateOk() {
    if (GtkWidget* ok = shown.widgets[kIdOk]) gtk_widget_set_sensitive(ok, session->OkEnabled());
  }
};

struct ButtonAction {
  FormWindow* form;
  int id;
};

std::optional<std::string> RunChooser(const PickerRequest& request);

DialogAnswer GtkHost::ShowForm(FormSession& session) {
  if (!OnToolkitThread()) return DialogAnswer::kNotCreated;
  const FormDialog& dialog = session.dialog();
  FormWindow form{this, &session, {}};
  form.shown.kind = "form";
  form.shown.window = NewDialog(dialog.caption);
  GtkWidget* fixed = gtk_fixed_new();
  gtk_widget_set_size_request(fixed, PixelsX(dialog.width), PixelsY(dialog.height));
  gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(form.shown.window))), fixed,
                     TRUE, TRUE, 0);
  std::vector<std::unique_ptr<ButtonAction>> actions;
  GtkWidget* focus = nullptr;
  for (const DialogControl& control : dialog.controls) {
    switch (control.kind) {
      case ControlKind::kLabel:
        Place(fixed, MakeLabel(control), control.rect);
        break;
      case ControlKind::kGroupBox:
        Place(fixed, gtk_frame_new(control.text.c_str()), control.rect);
        break;
      case ControlKind::kEdit: {
        GtkWidget* inner = nullptr;
        GtkWidget* outer = MakeBox(control, session.values().Get(control.id), &inner);
        Place(fixed, outer, control.rect);
        form.shown.widgets[control.id] = inner;
        if (!control.readOnly) {
          if (focus == nullptr) focus = inner;
          g_signal_connect(inner, "changed", Callback(+[](GtkEditable*, gpointer data) {
                             FormWindow& form = *static_cast<FormWindow*>(data);
                             if (form.pushing) return;
                             form.Pull();
                             form.UpdateOk();
                           }),
                           &form);
        }
        break;
      }
      case ControlKind::kButton: {
        GtkWidget* button = gtk_button_new_with_label(control.text.c_str());
        Place(fixed, button, control.rect);
        gtk_widget_set_sensitive(button, control.enabled);
        form.shown.widgets[control.id] = button;
        if (control.id == dialog.defaultButton) {
          gtk_widget_set_can_default(button, TRUE);
          gtk_window_set_default(GTK_WINDOW(form.shown.window), button);
        }
        actions.push_back(std::make_unique<ButtonAction>(ButtonAction{&form, control.id}));
        g_signal_connect(button, "clicked", Callback(+[](GtkButton*, gpointer data) {
                           const ButtonAction& action = *static_cast<ButtonAction*>(data);
                           FormWindow& form = *action.form;
                           GtkDialog* window = GTK_DIALOG(form.shown.window);
                           if (action.id == kIdOk) {
                             form.Pull();
                             if (form.session->OkEnabled()) gtk_dialog_response(window, kIdOk);
                           } else if (action.id == kIdCancel) {
                             gtk_dialog_response(window, kIdCancel);
                           } else if (action.id == form.session->dialog().browseButton &&
                                      form.session->BrowseEnabled()) {
                             form.Pull();
                             form.session->Browsed(RunChooser(form.session->BrowsePicker()));
                             form.PushReadOnly();
                             form.UpdateOk();
                           }
                         }),
                         actions.back().get());
        break;
      }
      case ControlKind::kList:
        break;
    }
  }
  form.UpdateOk();
  if (focus != nullptr) gtk_widget_grab_focus(focus);
  const gint response = RunModal(form.shown);
  form.Pull();
  // What GTK kept of the passwords goes now, not whenever its memory is reused (without
  // touching the texts already taken).
  form.pushing = true;
  for (const DialogControl& control : dialog.controls) {
    if (control.password) SetEntryText(form.shown.widgets[control.id], "");
  }
  Destroy(form.shown);
  return response == kIdOk ? DialogAnswer::kOk : DialogAnswer::kCancel;
}

struct ListWindow {
  const ListDialog* dialog;
  Shown shown;
  bool observed = false;

  int Selected() const {
    Driver driver(const_cast<Shown&>(shown));
    const int row = driver.SelectedRow();
    return row >= 0 ? row : 0;
  }
};

DialogAnswer GtkHost::ShowList(const ListDialog& dialog, int& selected) {
  if (!OnToolkitThread()) return DialogAnswer::kNotCreated;
  ListWindow list{&dialog, {}};
  list.shown.kind = "list";
  list.observed = static_cast<bool>(TheToolkit().observer);
  list.shown.window = NewDialog(dialog.caption);
  GtkWidget* fixed = gtk_fixed_new();
  gtk_widget_set_size_request(fixed, PixelsX(dialog.width), PixelsY(dialog.height));
  gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(list.shown.window))), fixed,
                     TRUE, TRUE, 0);
  for (const DialogControl& control : dialog.controls) {
    if (control.kind == ControlKind::kGroupBox) {
      Place(fixed, gtk_frame_new(control.text.c_str()), control.rect);
    } else if (control.kind == ControlKind::kLabel) {
      Place(fixed, MakeLabel(control), control.rect);
    } else if (control.kind == ControlKind::kList) {
      const int columns = static_cast<int>(dialog.columns.size());
      std::vector<GType> types(static_cast<size_t>(columns), G_TYPE_STRING);
      GtkListStore* store = gtk_list_store_newv(columns, types.data());
      for (const auto& row : dialog.rows) {
        GtkTreeIter iter;
        gtk_list_store_append(store, &iter);
        for (int c = 0; c < columns && c < static_cast<int>(row.size()); ++c) {
          gtk_list_store_set(store, &iter, c, row[static_cast<size_t>(c)].c_str(), -1);
        }
      }
      GtkWidget* view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
      g_object_unref(store);
      for (int c = 0; c < columns; ++c) {
        GtkTreeViewColumn* column = gtk_tree_view_column_new_with_attributes(
            dialog.columns[static_cast<size_t>(c)].header.c_str(), gtk_cell_renderer_text_new(),
            "text", c, nullptr);
        gtk_tree_view_column_set_sizing(column, GTK_TREE_VIEW_COLUMN_FIXED);
        gtk_tree_view_column_set_fixed_width(column,
                                             dialog.columns[static_cast<size_t>(c)].widthPixels);
        gtk_tree_view_column_set_resizable(column, TRUE);
        gtk_tree_view_append_column(GTK_TREE_VIEW(view), column);
      }
      gtk_tree_selection_set_mode(gtk_tree_view_get_selection(GTK_TREE_VIEW(view)),
                                  GTK_SELECTION_SINGLE);
      GtkWidget* scroll = gtk_scrolled_window_new(nullptr, nullptr);
      gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroll), GTK_SHADOW_IN);
      gtk_container_add(GTK_CONTAINER(scroll), view);
      Place(fixed, scroll, control.rect);
      list.shown.list = GTK_TREE_VIEW(view);
      list.shown.widgets[control.id] = view;
      if (!dialog.rows.empty()) {
        GtkTreePath* first = gtk_tree_path_new_first();
        gtk_tree_view_set_cursor(GTK_TREE_VIEW(view), first, nullptr, FALSE);
        gtk_tree_path_free(first);
      }
    } else if (control.kind == ControlKind::kButton) {
      GtkWidget* button = gtk_button_new_with_label(control.text.c_str());
      Place(fixed, button, control.rect);
      gtk_widget_set_sensitive(button, control.enabled);
      list.shown.widgets[control.id] = button;
      if (control.id == dialog.defaultButton) {
        gtk_widget_set_can_default(button, TRUE);
        gtk_window_set_default(GTK_WINDOW(list.shown.window), button);
      }
      if (control.id == kIdOk || control.id == kIdCancel) {
        g_signal_connect_swapped(button, "clicked", Callback(+[](gpointer data, GtkButton* button) {
                                   gtk_dialog_response(
                                       GTK_DIALOG(data),
                                       GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), "id")));
                                 }),
                                 list.shown.window);
        g_object_set_data(G_OBJECT(button), "id", GINT_TO_POINTER(control.id));
      } else if (control.id == dialog.viewButton) {
        g_signal_connect(button, "clicked", Callback(+[](GtkButton*, gpointer data) {
                           ListWindow& list = *static_cast<ListWindow*>(data);
                           if (!list.dialog->view) return;
                           std::optional<std::string> file = list.dialog->view(list.Selected());
                           if (!file) return;
                           if (list.observed) {
                             list.shown.viewed.push_back(*file);
                             return;
                           }
                           // The desktop's viewer for the file; failures are silent.
                           gchar* argv[] = {const_cast<gchar*>("xdg-open"),
                                            const_cast<gchar*>(file->c_str()), nullptr};
                           g_spawn_async(nullptr, argv, nullptr,
                                         static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH |
                                                                  G_SPAWN_STDOUT_TO_DEV_NULL |
                                                                  G_SPAWN_STDERR_TO_DEV_NULL),
                                         nullptr, nullptr, nullptr, nullptr);
                         }),
                         &list);
      }
    }
  }
  // A double click on a row chooses it, as OK does.
  if (list.shown.list != nullptr) {
    g_signal_connect(list.shown.list, "row-activated",
                     Callback(+[](GtkTreeView*, GtkTreePath*, GtkTreeViewColumn*, gpointer data) {
                       gtk_dialog_response(GTK_DIALOG(data), kIdOk);
                     }),
                     list.shown.window);
  }
  const gint response = RunModal(list.shown);
  selected = list.Selected();
  Destroy(list.shown);
  return response == kIdOk ? DialogAnswer::kOk : DialogAnswer::kCancel;
}

std::optional<std::string> RunChooser(const PickerRequest& request) {
  const bool folder = request.kind == PickerKind::kFolder;
  // A header bar carries the title, so it shows with or without a window manager.
  GtkWidget* chooser = GTK_WIDGET(
      g_object_new(GTK_TYPE_FILE_CHOOSER_DIALOG, "title", request.title.c_str(), "action",
                   folder ? GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER : GTK_FILE_CHOOSER_ACTION_OPEN,
                   "use-header-bar", TRUE, nullptr));
  gtk_dialog_add_button(GTK_DIALOG(chooser), "取消", GTK_RESPONSE_CANCEL);
  gtk_dialog_add_button(GTK_DIALOG(chooser), "確定", GTK_RESPONSE_ACCEPT);
  gtk_dialog_set_default_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
  gtk_file_chooser_set_local_only(GTK_FILE_CHOOSER(chooser), TRUE);
  for (const FileFilter& filter : request.filters) {
    GtkFileFilter* gtkFilter = gtk_file_filter_new();
    gtk_file_filter_set_name(gtkFilter, filter.description.c_str());
    for (const std::string& pattern : filter.patterns) {
      gtk_file_filter_add_pattern(gtkFilter, GtkPattern(pattern).c_str());
    }
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), gtkFilter);
  }
  if (!request.initial.empty()) {
    if (folder) {
      if (g_file_test(request.initial.c_str(), G_FILE_TEST_IS_DIR)) {
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), request.initial.c_str());
      }
    } else if (g_file_test(request.initial.c_str(), G_FILE_TEST_IS_REGULAR)) {
      gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(chooser), request.initial.c_str());
    } else {
      // A pattern or a name not written yet: open its folder.
      gchar* dir = g_path_get_dirname(request.initial.c_str());
      if (g_file_test(dir, G_FILE_TEST_IS_DIR)) {
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), dir);
      }
      g_free(dir);
    }
  }
  gtk_window_set_default_size(GTK_WINDOW(chooser), 760, 520);
  // The folder picker stays above other windows, as its callers expect.
  if (folder) gtk_window_set_keep_above(GTK_WINDOW(chooser), TRUE);
  Shown shown;
  shown.kind = folder ? "folder" : "open-file";
  shown.window = chooser;
  const gint response = RunModal(shown);
  std::optional<std::string> picked;
  if (response == GTK_RESPONSE_ACCEPT) {
    gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
    if (name != nullptr) picked = name;
    g_free(name);
  }
  Destroy(shown);
  return picked;
}

PickerOutcome GtkHost::ShowPicker(const PickerRequest& request) {
  if (!OnToolkitThread()) return {DialogAnswer::kNotCreated, {}};
  return Picked(RunChooser(request));
}

bool GtkHost::ShowKeyAccess(const KeyAccessPrompt& prompt) {
  if (!OnToolkitThread()) return false;
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION,
                                             GTK_BUTTONS_NONE, "%s", prompt.message.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), prompt.caption.c_str());
  GtkWidget* header = gtk_header_bar_new();
  gtk_header_bar_set_title(GTK_HEADER_BAR(header), prompt.caption.c_str());
  gtk_window_set_titlebar(GTK_WINDOW(dialog), header);
  GtkWidget* ok = gtk_dialog_add_button(GTK_DIALOG(dialog), "確定", kIdOk);
  GtkWidget* cancel = gtk_dialog_add_button(GTK_DIALOG(dialog), "取消", kIdCancel);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), kIdCancel);
  Shown shown;
  shown.kind = "key-access";
  shown.window = dialog;
  shown.widgets[kIdOk] = ok;
  shown.widgets[kIdCancel] = cancel;
  const gint response = RunModal(shown);
  Destroy(shown);
  return response == kIdOk;
}

std::unique_ptr<DialogHost> CreateHost() {
  if (!StartToolkit()) return nullptr;
  return std::make_unique<GtkHost>();
}

void SetWindowObserver(WindowObserver observer) {
  TheToolkit().observer = std::move(observer);
}

}  // namespace
}  // namespace zyq::platform::posix

// The module's one export (GtkModule.h).
extern "C" __attribute__((visibility("default"))) const zyq::platform::posix::GtkModule*
ZyqGtkModule() {
  using namespace zyq::platform::posix;
  static const GtkModule table{kGtkModuleVersion, sizeof(GtkModule), &CreateHost,
                               &SetWindowObserver, &StartToolkit};
  return &table;
}
