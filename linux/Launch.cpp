#include "linux/Launch.h"

#include "core/BrowserCommand.h"
#include "linux/GPtr.h"

#include <gdk/gdk.h>
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <cerrno>
#include <sys/types.h>
#include <sys/wait.h>

namespace tolv::linux_edition {

namespace {

bool WaitSucceeded(GPid pid) {
    int status = 0;
    pid_t result;
    do {
        result = waitpid(pid, &status, 0);
    } while (result < 0 && errno == EINTR);
    g_spawn_close_pid(pid);
    return result == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void CollectPid(GDesktopAppInfo*, GPid pid, gpointer data) {
    static_cast<std::vector<GPid>*>(data)->push_back(pid);
}

UniqueGObject<GAppLaunchContext> LaunchContext() {
    // With a display the desktop gets startup notification; without, a plain
    // context still passes the environment on.
    if (GdkDisplay* display = gdk_display_get_default())
        return UniqueGObject<GAppLaunchContext>(
            G_APP_LAUNCH_CONTEXT(gdk_display_get_app_launch_context(display)));
    return UniqueGObject<GAppLaunchContext>(g_app_launch_context_new());
}

// An application started over D-Bus gets the file in a message sent in the
// background: the viewer must not end before the application has answered it,
// or the file may never arrive and nobody says so.
bool LaunchAndWaitForAnswer(GAppInfo* app, GList* uris, GAppLaunchContext* context) {
    struct Launch {
        bool done = false;
        bool succeeded = false;
    } launch;
    g_app_info_launch_uris_async(
        app, uris, context, nullptr,
        +[](GObject* source, GAsyncResult* result, gpointer data) {
            auto* launch = static_cast<Launch*>(data);
            launch->succeeded = g_app_info_launch_uris_finish(G_APP_INFO(source), result, nullptr);
            launch->done = true;
        },
        &launch);
    while (!launch.done)
        g_main_context_iteration(nullptr, TRUE);
    return launch.succeeded;
}

} // namespace

const std::vector<std::string>& BrowserPrograms(BrowserChoice choice) {
    static const std::vector<std::string> chrome{"google-chrome-stable", "google-chrome",
                                                 "chromium", "chromium-browser"};
    static const std::vector<std::string> edge{"microsoft-edge-stable", "microsoft-edge"};
    static const std::vector<std::string> none;
    switch (choice) {
    case BrowserChoice::Chrome:
        return chrome;
    case BrowserChoice::Edge:
        return edge;
    case BrowserChoice::Desktop:
        break;
    }
    return none;
}

std::string FindBrowser(BrowserChoice choice) {
    for (const std::string& name : BrowserPrograms(choice)) {
        UniqueGChar path(g_find_program_in_path(name.c_str()));
        if (path)
            return path.get();
    }
    return {};
}

BrowserChoice DefaultBrowser() {
    return FindBrowser(BrowserChoice::Chrome).empty() ? BrowserChoice::Desktop
                                                      : BrowserChoice::Chrome;
}

std::vector<std::string> BrowserArgv(const std::string& program, const std::string& url,
                                     bool frame) {
    if (!frame)
        return {program, url};
    return {program,
            "--window-size=" + std::to_string(kFrameWidth) + "," + std::to_string(kFrameHeight),
            "--window-position=" + std::to_string(kFramePosX) + "," + std::to_string(kFramePosY),
            "--app=" + url};
}

std::string FileUri(const std::filesystem::path& path) {
    UniqueGChar uri(g_filename_to_uri(path.c_str(), nullptr, nullptr));
    return uri ? std::string(uri.get()) : std::string();
}

bool RunAndWait(const std::vector<std::string>& argv) {
    std::vector<gchar*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<gchar*>(arg.c_str()));
    args.push_back(nullptr);
    GPid pid = 0;
    // The home folder, so that the browser keeps no folder of the report busy
    // (a USB stick it came from can still be removed).
    if (!g_spawn_async(g_get_home_dir(), args.data(), nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr,
                       nullptr, &pid, nullptr))
        return false;
    return WaitSucceeded(pid);
}

bool OpenWithDesktopApp(const std::filesystem::path& pdf) {
    UniqueGObject<GAppInfo> app(g_app_info_get_default_for_type("application/pdf", FALSE));
    if (!app)
        return false;
    std::string uri = FileUri(pdf);
    GList uris{};
    uris.data = uri.data();
    UniqueGObject<GAppLaunchContext> context = LaunchContext();
    // An application started over D-Bus has no process of ours to wait for; it
    // has taken the file over once it answers, like a browser that hands it to
    // its running window.
    if (!G_IS_DESKTOP_APP_INFO(app.get()) ||
        g_desktop_app_info_get_boolean(G_DESKTOP_APP_INFO(app.get()), "DBusActivatable"))
        return LaunchAndWaitForAnswer(app.get(), &uris, context.get());

    std::vector<GPid> pids;
    if (!g_desktop_app_info_launch_uris_as_manager(
            G_DESKTOP_APP_INFO(app.get()), &uris, context.get(),
            static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD), nullptr,
            nullptr, CollectPid, &pids, nullptr))
        return false;
    bool succeeded = true;
    for (GPid pid : pids)
        succeeded = WaitSucceeded(pid) && succeeded;
    return succeeded;
}

} // namespace tolv::linux_edition
