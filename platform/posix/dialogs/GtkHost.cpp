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
#include "platform/posix/dialogs/GtkDriver.h"
#include "platform/posix/dialogs/GtkModule.h"
#include "platform/posix/dialogs/GtkWindow.h"

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

void SetEntryText(GtkWidget* widget, const std::string& text) {
  if (GTK_IS_ENTRY(widget)) {
    gtk_entry_set_text(GTK_ENTRY(widget), text.c_str());
  } else if (GTK_IS_TEXT_VIEW(widget)) {
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(widget)), text.c_str(), -1);
  }
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
          const WindowObserver observer = TheToolkit().observer;
          if (observer) observer(*NewWindowDriver(shown));
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
    session->PullEditable([&](int id) { return EntryText(shown.widgets[id]); });
  }
  void PushReadOnly() {
    pushing = true;
    session->PushReadOnly(
        [&](int id, const std::string& text) { SetEntryText(shown.widgets[id], text); });
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
    const int row = SelectedRow(shown.list);
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
