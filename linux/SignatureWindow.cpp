#include "linux/SignatureWindow.h"

#include "linux/CertificateViewer.h"
#include "linux/FileMode.h"
#include "linux/GPtr.h"
#include "linux/MachineAnchors.h"
#include "linux/MessageBox.h"
#include "validation/OnlineRevocation.h"
#include "validation/SignatureSummary.h"

#include <gtk/gtk.h>

#include <ctime>
#include <optional>

namespace tolv::linux_edition {

namespace {

using validation::SignatureSummary;
using validation::VerdictIcon;

using validation::kAskingOnline;
constexpr int kShowCertificateResponse = 1;
constexpr int kOpenReportResponse = 2;

// The program's own icons, installed into hicolor: the themes' security-*
// icons mean "secure", and some draw the good one red.
const char* IconName(VerdictIcon icon) {
    switch (icon) {
    case VerdictIcon::Good:
        return "tr.org.tolv.Viewer-valid";
    case VerdictIcon::Bad:
        return "tr.org.tolv.Viewer-invalid";
    case VerdictIcon::Altered:
        return "tr.org.tolv.Viewer-altered";
    case VerdictIcon::Caution:
        break;
    }
    return "tr.org.tolv.Viewer-unverified";
}

// Names from certificates and file names may hold anything; GTK shows UTF-8.
std::string Valid(const std::string& text) {
    UniqueGChar valid(g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size())));
    return valid.get();
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\n") + line;
    return Valid(text);
}

void SetAccessibleName(GtkWidget* widget, const char* name) {
    atk_object_set_name(gtk_widget_get_accessible(widget), name);
}

GtkWidget* NewLabel(bool selectable) {
    GtkWidget* label = gtk_label_new(nullptr);
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(label), 70);
    gtk_label_set_selectable(GTK_LABEL(label), selectable);
    return label;
}

// The validation asked online: its inputs, copied for the worker thread, and
// its answer, read on the main loop once the task is done.
struct OnlineQuery {
    signature::SignatureReport report;
    validation::Anchors anchors;
    std::int64_t now = 0;
    std::optional<validation::ValidationReport> answer;
    std::string error;
};

class SignatureWindow {
public:
    SignatureWindow(std::string fileName, const signature::SignatureReport& report)
        : fileName_(std::move(fileName)), report_(report) {
        Build();
    }
    ~SignatureWindow() { gtk_widget_destroy(dialog_); }
    SignatureWindow(const SignatureWindow&) = delete;
    SignatureWindow& operator=(const SignatureWindow&) = delete;

    void Show(const SignatureSummary& summary);
    // offline: what is shown should the question fail.
    void AskOnline(validation::Anchors anchors, std::int64_t now, SignatureSummary offline);
    // True when the user asked for the report itself.
    bool Run();

private:
    void Build();
    void BuildProgress(GtkWidget* box);
    static void Ask(GTask* task, gpointer, gpointer data, GCancellable*);
    static void Answered(GObject*, GAsyncResult*, gpointer data);
    static gboolean Pulse(gpointer bar);

    std::string fileName_;
    const signature::SignatureReport& report_;
    signature::Bytes certificate_;
    std::vector<signature::Bytes> path_;
    std::string signerName_;
    GtkWidget* dialog_ = nullptr;
    GtkWidget* image_ = nullptr;
    GtkWidget* verdict_ = nullptr;
    GtkWidget* reason_ = nullptr;
    GtkWidget* lines_ = nullptr;
    GtkWidget* details_ = nullptr;
    GtkWidget* legalNote_ = nullptr;
    GtkWidget* progress_ = nullptr;
    GtkWidget* progressBar_ = nullptr;
    GtkWidget* progressText_ = nullptr;
    GtkWidget* showCertificate_ = nullptr;
    guint pulse_ = 0;
    bool asking_ = false;
    OnlineQuery query_;
    SignatureSummary offline_;
};

void SignatureWindow::Build() {
    dialog_ = gtk_dialog_new();
    gtk_window_set_position(GTK_WINDOW(dialog_), GTK_WIN_POS_CENTER);
    gtk_window_set_resizable(GTK_WINDOW(dialog_), FALSE);
    GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog_));
    gtk_box_set_spacing(GTK_BOX(content), 12);
    gtk_container_set_border_width(GTK_CONTAINER(dialog_), 12);

    GtkWidget* head = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
    image_ = gtk_image_new();
    gtk_widget_set_valign(image_, GTK_ALIGN_START);
    GtkWidget* verdictBox = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    verdict_ = NewLabel(false);
    reason_ = NewLabel(false);
    gtk_box_pack_start(GTK_BOX(verdictBox), verdict_, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(verdictBox), reason_, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(head), image_, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(head), verdictBox, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(content), head, FALSE, FALSE, 0);

    lines_ = NewLabel(true);
    gtk_box_pack_start(GTK_BOX(content), lines_, FALSE, FALSE, 0);
    BuildProgress(content);

    GtkWidget* expander =
        gtk_expander_new_with_mnemonic((std::string("_") + validation::kDetailsLabel).c_str());
    details_ = NewLabel(true);
    gtk_widget_set_margin_top(details_, 6);
    gtk_container_add(GTK_CONTAINER(expander), details_);
    gtk_box_pack_start(GTK_BOX(content), expander, FALSE, FALSE, 0);

    legalNote_ = NewLabel(false);
    gtk_style_context_add_class(gtk_widget_get_style_context(legalNote_), "dim-label");
    gtk_box_pack_start(GTK_BOX(content), legalNote_, FALSE, FALSE, 0);

    GtkWidget* openReport = gtk_dialog_add_button(
        GTK_DIALOG(dialog_), (std::string("_") + validation::kOpenReportLabel).c_str(),
        kOpenReportResponse);
    SetAccessibleName(openReport, validation::kOpenReportLabel);
    showCertificate_ = gtk_dialog_add_button(
        GTK_DIALOG(dialog_), (std::string("_") + validation::kShowCertificateLabel).c_str(),
        kShowCertificateResponse);
    GtkWidget* close = gtk_dialog_add_button(GTK_DIALOG(dialog_),
                                             (std::string("_") + validation::kCloseLabel).c_str(),
                                             GTK_RESPONSE_CLOSE);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog_), GTK_RESPONSE_CLOSE);
    gtk_widget_show_all(content);
    gtk_widget_hide(progress_);
    // Enter closes, as in every box of the program: the focus starts there.
    gtk_widget_grab_focus(close);
}

void SignatureWindow::BuildProgress(GtkWidget* box) {
    progress_ = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    progressText_ = NewLabel(false);
    gtk_label_set_text(GTK_LABEL(progressText_), kAskingOnline);
    progressBar_ = gtk_progress_bar_new();
    SetAccessibleName(progressBar_, kAskingOnline);
    gtk_box_pack_start(GTK_BOX(progress_), progressText_, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(progress_), progressBar_, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), progress_, FALSE, FALSE, 0);
}

void SignatureWindow::Show(const SignatureSummary& summary) {
    gtk_window_set_title(GTK_WINDOW(dialog_), Valid(summary.title).c_str());
    const validation::IconLook look = validation::LookOf(summary.icon);
    gtk_image_set_from_icon_name(GTK_IMAGE(image_), IconName(summary.icon), GTK_ICON_SIZE_DIALOG);
    SetAccessibleName(image_, look.meaning);
    UniqueGChar colour(g_strdup_printf("#%06x", static_cast<unsigned>(look.colour)));
    UniqueGChar verdict(
        g_markup_printf_escaped("<span size='large' weight='bold' foreground='%s'>%s</span>",
                                colour.get(), Valid(summary.verdictText).c_str()));
    gtk_label_set_markup(GTK_LABEL(verdict_), verdict.get());
    gtk_label_set_text(GTK_LABEL(reason_), Valid(summary.reason).c_str());
    gtk_widget_set_visible(reason_, !summary.reason.empty());
    gtk_label_set_text(GTK_LABEL(lines_), Joined(summary.lines).c_str());
    gtk_widget_set_visible(lines_, !summary.lines.empty());
    gtk_label_set_text(GTK_LABEL(details_), Joined(summary.details).c_str());
    UniqueGChar note(
        g_markup_printf_escaped("<small>%s</small>", Valid(summary.legalNote).c_str()));
    gtk_label_set_markup(GTK_LABEL(legalNote_), note.get());
    certificate_ = summary.certificate;
    path_ = summary.path;
    signerName_ = summary.signerName;
    gtk_widget_set_sensitive(showCertificate_, !certificate_.empty());
}

void SignatureWindow::AskOnline(validation::Anchors anchors, std::int64_t now,
                                SignatureSummary offline) {
    offline_ = std::move(offline);
    query_.report = report_;
    query_.anchors = std::move(anchors);
    query_.now = now;
    gtk_widget_show(progress_);
    asking_ = true;
    pulse_ = g_timeout_add(100, Pulse, progressBar_);
    GTask* task = g_task_new(nullptr, nullptr, Answered, this);
    g_task_set_task_data(task, &query_, nullptr);
    g_task_run_in_thread(task, Ask);
    g_object_unref(task);
}

void SignatureWindow::Ask(GTask* task, gpointer, gpointer data, GCancellable*) {
    auto* query = static_cast<OnlineQuery*>(data);
    validation::OnlineLook look = validation::LookOnline(query->report, query->anchors, query->now);
    query->answer = std::move(look.validation);
    query->error = std::move(look.error);
    g_task_return_boolean(task, TRUE);
}

void SignatureWindow::Answered(GObject*, GAsyncResult*, gpointer data) {
    auto* window = static_cast<SignatureWindow*>(data);
    window->asking_ = false;
    g_source_remove(window->pulse_);
    std::string error = window->query_.error;
    if (window->query_.answer) {
        // No exception crosses the main loop; Summarize reads the local time
        // zone, which is why it runs here and not in the worker.
        try {
            window->Show(
                validation::Summarize(window->fileName_, window->report_, *window->query_.answer));
            gtk_widget_hide(window->progress_);
            return;
        } catch (const std::exception& failure) {
            error = failure.what();
        }
    }
    // What was known before stands; why the question failed is technical.
    window->offline_.details.push_back("Teknik ayrıntı: " + error);
    window->Show(window->offline_);
    gtk_widget_hide(window->progressBar_);
    gtk_label_set_text(GTK_LABEL(window->progressText_), validation::kAskingFailed);
}

gboolean SignatureWindow::Pulse(gpointer bar) {
    gtk_progress_bar_pulse(GTK_PROGRESS_BAR(bar));
    return G_SOURCE_CONTINUE;
}

bool SignatureWindow::Run() {
    int response = 0;
    while ((response = gtk_dialog_run(GTK_DIALOG(dialog_))) == kShowCertificateResponse) {
        const std::string error = ShowCertificate(certificate_, path_, signerName_);
        if (error.empty())
            continue;
        GtkWidget* box = NewMessageDialog(error, BoxKind::Error, kAppTitle, GTK_WINDOW(dialog_));
        gtk_dialog_run(GTK_DIALOG(box));
        gtk_widget_destroy(box);
    }
    gtk_widget_hide(dialog_);
    // The worker uses the query until it is done; asking online has a time
    // limit of its own, so the wait is short.
    while (asking_)
        g_main_context_iteration(nullptr, TRUE);
    // Their copies go when they end, which only this process can see.
    WaitForCertificateViewers();
    return response == kOpenReportResponse;
}

} // namespace

std::string ChooseReport() {
    if (!gdk_display_get_default())
        return {};
    GtkFileChooserNative* chooser = gtk_file_chooser_native_new(
        "İmza bilgisi için rapor seçin", nullptr, GTK_FILE_CHOOSER_ACTION_OPEN, "_Aç", "_İptal");
    GtkFileFilter* reports = gtk_file_filter_new();
    gtk_file_filter_set_name(reports, "Tolv raporları");
    gtk_file_filter_add_mime_type(reports, "application/x-tolv");
    gtk_file_filter_add_pattern(reports, "*.[Tt][Oo][Ll][Vv]");
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), reports);
    std::string report;
    if (gtk_native_dialog_run(GTK_NATIVE_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        UniqueGChar file(gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser)));
        report = file ? file.get() : "";
    }
    g_object_unref(chooser);
    return report;
}

int ShowSignatureWindow(const std::string& report, const Settings& settings) {
    const signature::SignatureReport check = signature::CheckReport(report);
    validation::Anchors anchors = MachineAnchors();
    const auto now = static_cast<std::int64_t>(std::time(nullptr));
    const validation::ValidationReport validation = validation::Validate(check, anchors, now);
    UniqueGChar name(g_filename_display_basename(report.c_str()));
    const SignatureSummary summary = validation::Summarize(name.get(), check, validation);
    if (!gdk_display_get_default()) {
        ShowMessage(validation::SummaryText(summary), BoxKind::Plain, summary.title.c_str());
        return 0;
    }
    RemoveOldCertificateCopies();
    bool openReport = false;
    {
        SignatureWindow window(name.get(), check);
        if (settings.onlineRevocation && validation::WantsOnlineRevocation(validation)) {
            window.Show(validation::Summarize(name.get(), check, validation, true));
            window.AskOnline(std::move(anchors), now, summary);
        } else {
            window.Show(summary);
        }
        openReport = window.Run();
    }
    // "Raporu aç": the report as a double-click shows it, questions and all.
    return openReport ? ViewReport(report) : 0;
}

} // namespace tolv::linux_edition
