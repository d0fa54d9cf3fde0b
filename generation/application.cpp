#include "generation/application.h"

#include <QFileInfo>
#include <algorithm>

#include "generation/application_state.h"
#include "shell/core/error_report.h"
#include "spreadsheet/error.h"
#include "spreadsheet/gsf_log.h"
#include "spreadsheet/workbook_reader.h"

namespace generation {

namespace detail {

void raiseMethodFailed(const QString& object, const char* method, const QString& reason) {
    throw shell::RuntimeError(
        QStringLiteral("Method '%1' of object '%2' failed: %3").arg(QLatin1String(method), object, reason));
}

void raiseNothing() {
    throw shell::RuntimeError(QStringLiteral("Object variable or With block variable not set"));
}

void raiseDisconnected() {
    throw shell::RuntimeError(
        QStringLiteral("Automation error: the object invoked has disconnected from its clients"));
}

void guarded(const QString& object, const char* method, const std::function<void()>& body) {
    try {
        body();
    } catch (const shell::RuntimeError&) {
        throw;
    } catch (const std::exception& error) {
        raiseMethodFailed(object, method, QString::fromUtf8(error.what()));
    }
}

namespace {
void startCalculation(BookState& book) {
    if (book.calculation)
        return;
    book.calculation = std::make_unique<spreadsheet::Calculation>(book.model);
    book.calculation->markAll();
}
}  // namespace

void noteChange(BookState& book, int sheet, const spreadsheet::CellRange& range) {
    startCalculation(book);
    book.calculation->cellsChanged(sheet, range);
}

void calculateFor(BookState& book, Need need) {
    if (need == Need::Save)
        startCalculation(book);
    if (need == Need::Read && !book.model.calculation.automatic)
        return;
    if (!book.calculation || (need != Need::Save && !book.calculation->hasChanges()))
        return;
    const auto app = book.app.lock();
    book.calculation->calculate(app ? app->calculationProgress : spreadsheet::CalculationProgress{});
}

}  // namespace detail

namespace {
const QString kApplicationObject = QStringLiteral("_Application");
const QString kWorkbooksObject = QStringLiteral("Workbooks");
}  // namespace

Application::Application(const QString& version) : state_(std::make_shared<detail::AppState>()) {
    state_->version = version;
}

Application::~Application() {
    // Handles that outlive the instance must find it gone, as after Quit.
    if (state_->running)
        Quit();
}

detail::AppState& Application::state() const {
    if (!state_->running)
        detail::raiseDisconnected();
    return *state_;
}

generation::Workbooks Application::Workbooks() const {
    state();
    return generation::Workbooks(state_);
}

Workbook Application::Workbooks(int index) const {
    return Workbooks()(index);
}

Workbook Application::ActiveWorkbook() const {
    auto& app = state();
    if (!app.active)
        detail::raiseNothing();
    return Workbook(app.active);
}

Worksheet Application::ActiveSheet() const {
    return ActiveWorkbook().ActiveSheet();
}

Worksheet Application::Worksheets(int index) const {
    auto& app = state();
    if (!app.active)
        detail::raiseMethodFailed(kApplicationObject, "Worksheets", QStringLiteral("no workbook is open"));
    return Workbook(app.active).Worksheets(index);
}

generation::Range Application::Range(const QString& address) const {
    auto& app = state();
    if (!app.active)
        detail::raiseMethodFailed(kApplicationObject, "Range", QStringLiteral("no workbook is open"));
    return Workbook(app.active).ActiveSheet().Range(address);
}

bool Application::Visible() const {
    return state().visible;
}
// The engine has no window; the flag is kept so that callers read back what they set.
void Application::setVisible(bool visible) {
    state().visible = visible;
}
bool Application::DisplayAlerts() const {
    return state().displayAlerts;
}
void Application::setDisplayAlerts(bool displayAlerts) {
    state().displayAlerts = displayAlerts;
}
QString Application::Version() const {
    return state().version;
}
void Application::setCalculationProgress(spreadsheet::CalculationProgress progress) {
    state().calculationProgress = std::move(progress);
}

void Application::Quit() {
    auto& app = state();
    for (auto& book : app.books)
        book->open = false;
    app.books.clear();
    app.active.reset();
    app.running = false;
}

detail::AppState& Workbooks::app() const {
    if (!app_)
        detail::raiseNothing();
    if (!app_->running)
        detail::raiseDisconnected();
    return *app_;
}

Workbook Workbooks::Open(const QString& path, bool readOnly) {
    auto& state = app();
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile()) {
        detail::raiseMethodFailed(
            kWorkbooksObject, "Open",
            QStringLiteral("'%1' could not be found. Check the spelling of the file name, and "
                           "verify that the file location is correct.")
                .arg(path));
    }
    auto book = std::make_shared<detail::BookState>();
    // What libgsf logs about a damaged file goes into the report instead of onto standard error.
    spreadsheet::GsfLogCapture log;
    try {
        book->model = spreadsheet::readWorkbookFile(path);
    } catch (const std::exception& error) {
        QString reason = QString::fromUtf8(error.what());
        if (!log.messages().isEmpty())
            reason += QStringLiteral(" (") + log.messages().first() + QLatin1Char(')');
        detail::raiseMethodFailed(kWorkbooksObject, "Open", reason);
    }
    if (book->model.sheets.empty()) {
        detail::raiseMethodFailed(kWorkbooksObject, "Open",
                                  QStringLiteral("'%1' holds no worksheet.").arg(info.fileName()));
    }
    book->fullName = info.absoluteFilePath();
    book->readOnly = readOnly;
    book->app = app_;
    state.books.push_back(book);
    state.active = book;
    return Workbook(book);
}

int Workbooks::count() const {
    return static_cast<int>(app().books.size());
}

Workbook Workbooks::operator()(int index) const {
    auto& state = app();
    if (index < 1 || index > static_cast<int>(state.books.size()))
        throw shell::RuntimeError(QStringLiteral("Subscript out of range"));
    return Workbook(state.books[static_cast<std::size_t>(index - 1)]);
}

}  // namespace generation
