#include "platform/gtk/file_dialogs.h"

#include "platform/desktop.h"

namespace platform {

namespace {

// Runs a chooser modally and hands back the local paths chosen; nothing on cancel.
std::vector<std::string> runChooser(GtkFileChooserNative* chooser) {
    std::vector<std::string> paths;
    if (gtk_native_dialog_run(GTK_NATIVE_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        GSList* files = gtk_file_chooser_get_filenames(GTK_FILE_CHOOSER(chooser));
        for (GSList* item = files; item; item = item->next) {
            auto* path = static_cast<char*>(item->data);
            if (path && *path) paths.emplace_back(path);
            g_free(path);
        }
        g_slist_free(files);
    }
    g_object_unref(chooser);
    return paths;
}

}  // namespace

std::string caseInsensitivePattern(const std::string& pattern) {
    std::string out;
    for (char c : pattern) {
        const bool lower = c >= 'a' && c <= 'z';
        const bool upper = c >= 'A' && c <= 'Z';
        if (!lower && !upper) {
            out += c;
            continue;
        }
        out += '[';
        out += lower ? c : static_cast<char>(c - 'A' + 'a');
        out += lower ? static_cast<char>(c - 'a' + 'A') : c;
        out += ']';
    }
    return out;
}

std::optional<std::string> GtkDialogs::pickFolder(const std::string& title) {
    GtkFileChooserNative* chooser = gtk_file_chooser_native_new(
        title.c_str(), parent_, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_Select", "_Cancel");
    // The server folder must be a path the programs it starts can use.
    gtk_file_chooser_set_local_only(GTK_FILE_CHOOSER(chooser), TRUE);
    std::vector<std::string> chosen = runChooser(chooser);
    if (chosen.empty()) return std::nullopt;
    return chosen.front();
}

std::vector<std::string> GtkDialogs::pickFiles(const std::string& title,
                                               const std::vector<FileFilter>& filters) {
    GtkFileChooserNative* chooser = gtk_file_chooser_native_new(
        title.c_str(), parent_, GTK_FILE_CHOOSER_ACTION_OPEN, "_Open", "_Cancel");
    gtk_file_chooser_set_local_only(GTK_FILE_CHOOSER(chooser), TRUE);
    gtk_file_chooser_set_select_multiple(GTK_FILE_CHOOSER(chooser), TRUE);
    for (const FileFilter& filter : filters) {
        GtkFileFilter* gtkFilter = gtk_file_filter_new();
        gtk_file_filter_set_name(gtkFilter, filter.label.c_str());
        for (const std::string& pattern : filter.patterns)
            gtk_file_filter_add_pattern(gtkFilter, caseInsensitivePattern(pattern).c_str());
        gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), gtkFilter);
    }
    return runChooser(chooser);
}

}  // namespace platform
