#include "entry/form1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateEdit>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <limits>

#include "entry/date_picker_keys.h"
#include "entry/is_installed.h"
#include "entry/sample_data.h"
#include "shell/core/app_title.h"
#include "shell/core/error_report.h"
#include "shell/core/file_utils.h"
#include "shell/core/locale_amount.h"
#include "shell/core/product.h"
#include "shell/core/settings_keys.h"
#include "shell/ui/cursor_file.h"
#include "shell/ui/message_boxes.h"
#include "shell/ui/send_keys.h"
#include "shell/ui/skin.h"
#include "shell/ui/window_colours.h"
#include "shell/ui/window_placement.h"
#include "ui_form1.h"

namespace entry {

namespace {

const QColor kHeadingGrey(0xE0, 0xE0, 0xE0);

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

template <typename Array>
int indexIn(const Array& array, const QObject* object) {
    for (int i = 0; i < static_cast<int>(array.size()); ++i) {
        if (array[i] == object)
            return i;
    }
    return -1;
}

// What every control shows that has no font of its own.
QFont windowFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(9);
    font.setBold(true);
    return font;
}

// A line edit lays out its text once in the application's font before it takes its window's. With the
// window's font as the application's while the controls are made, that layout needs no font the window
// does not show, and a start loads one font instead of two. The application's font is given back before
// anything is shown.
class ApplicationFontWhileBuilding {
public:
    explicit ApplicationFontWhileBuilding(const QFont& font) : previous_(QApplication::font()) {
        QApplication::setFont(font);
    }
    ~ApplicationFontWhileBuilding() { QApplication::setFont(previous_); }
    ApplicationFontWhileBuilding(const ApplicationFontWhileBuilding&) = delete;
    ApplicationFontWhileBuilding& operator=(const ApplicationFontWhileBuilding&) = delete;

private:
    QFont previous_;
};

bool movesWithinWindow(Qt::FocusReason reason) {
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
           reason != Qt::MenuBarFocusReason;
}

}  // namespace

class Form1::OneWrite {
public:
    explicit OneWrite(Form1& form) : form_(form), outermost_(!form.gathered_) {
        if (outermost_)
            form_.gathered_.emplace();
    }
    ~OneWrite() {
        if (!outermost_)
            return;
        const QMap<QString, QString> changes = std::move(*form_.gathered_);
        form_.gathered_.reset();
        if (!changes.isEmpty())
            shell::storeStatementFields(form_.store_, changes);
    }
    OneWrite(const OneWrite&) = delete;
    OneWrite& operator=(const OneWrite&) = delete;

private:
    Form1& form_;
    bool outermost_;
};

Form1::Form1(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::Form1>()) {
    const QFont font = windowFont();
    const ApplicationFontWhileBuilding buildFont(font);
    setFont(font);
    ui_->setupUi(this);
    PushButton22 = ui_->PushButton22;
    PushButton6 = ui_->PushButton6;
    PushButton7 = ui_->PushButton7;
    Frame1 = ui_->Frame1;
    Frame2 = ui_->Frame2;
    Frame3 = ui_->Frame3;
    Label5 = ui_->Label5;
    Label7 = ui_->Label7;
    dtpFrom = ui_->dtpFrom;
    txtName = ui_->txtName;
    const auto box = [this](const QString& name, int index) {
        return findChild<QLineEdit*>(name + QLatin1Char('_') + QString::number(index));
    };
    for (int i = 0; i < shell::kAssetLines; ++i) {
        txtAssets[i] = box(QStringLiteral("txtAssets"), i);
        txtAmountAssets[i] = box(QStringLiteral("txtAmountAssets"), i);
    }
    for (int i = 0; i < shell::kLiabilityLines; ++i) {
        txtLiabilities[i] = box(QStringLiteral("txtLiabilities"), i);
        txtAmountL[i] = box(QStringLiteral("txtAmountL"), i);
    }
    lblYear_ = {ui_->lblYear_0, ui_->lblYear_1, ui_->lblYear_12, ui_->lblYear_13};

    // The design order of the tab sequence; start-up moves the statement boxes into place.
    for (QWidget* w : {static_cast<QWidget*>(PushButton22), static_cast<QWidget*>(PushButton6),
                       static_cast<QWidget*>(PushButton7), static_cast<QWidget*>(dtpFrom),
                       static_cast<QWidget*>(txtName)}) {
        tabSequence_.append(w);
    }
    for (int i = 0; i < shell::kAssetLines; ++i) {
        tabSequence_.append(txtAssets[i]);
        tabSequence_.append(txtAmountAssets[i]);
    }
    for (int i = 0; i < shell::kLiabilityLines; ++i) {
        tabSequence_.append(txtLiabilities[i]);
        tabSequence_.append(txtAmountL[i]);
    }

    dressControls();
    connectHandlers();
    DatePickerKeys::install(dtpFrom);

    // The history window's shortcut; the window's layout is untouched.
    auto* history = new QAction(this);
    history->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    history->setShortcutContext(Qt::WindowShortcut);
    addAction(history);
    connect(history, &QAction::triggered, this, &Form1::historyRequested);
}

Form1::~Form1() {
    closing_ = true;
}

QLabel* Form1::lblYear(int index) const {
    switch (index) {
        case 0:
            return lblYear_[0];
        case 1:
            return lblYear_[1];
        case 12:
            return lblYear_[2];
        case 13:
            return lblYear_[3];
        default:
            return nullptr;
    }
}

void Form1::dressControls() {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setFixedSize(size());
    shell::setBackColour(this, Qt::white);

    QFont buttonFont(QStringLiteral("Arial"));
    buttonFont.setPointSizeF(11.25);
    buttonFont.setBold(true);
    for (QPushButton* button : {PushButton22, PushButton6, PushButton7}) {
        button->setFont(buttonFont);
        QPalette palette = button->palette();
        palette.setColor(QPalette::Button, Qt::white);
        button->setPalette(palette);
    }

    // The header frame takes the system's window colours, as text boxes do.
    QPalette header = Frame2->palette();
    header.setColor(QPalette::Window, header.color(QPalette::Base));
    header.setColor(QPalette::WindowText, header.color(QPalette::Text));
    Frame2->setPalette(header);
    Frame2->setAutoFillBackground(true);
    for (QGroupBox* frame : {Frame1, Frame3})
        shell::setBackColour(frame, Qt::white);

    Label5->adjustSize();
    Label7->adjustSize();
    for (QLabel* heading : lblYear_)
        shell::setBackColour(heading, kHeadingGrey);

    // No text is ever cut: a stored text of any length comes back, and is written back, whole.
    const auto anyLength = [](QLineEdit* box) { box->setMaxLength(std::numeric_limits<int>::max()); };
    anyLength(txtName);
    std::for_each(txtAssets.begin(), txtAssets.end(), anyLength);
    std::for_each(txtAmountAssets.begin(), txtAmountAssets.end(), anyLength);
    std::for_each(txtLiabilities.begin(), txtLiabilities.end(), anyLength);
    std::for_each(txtAmountL.begin(), txtAmountL.end(), anyLength);
    dtpFrom->setDateRange(shell::kFirstStatementDate, shell::kLastStatementDate);
}

void Form1::connectHandlers() {
    connect(txtName, &QLineEdit::textChanged, this, [this] { txtName_Change(); });
    connect(dtpFrom, &QDateEdit::dateChanged, this, [this] { dtpFrom_Change(); });
    for (int i = 0; i < shell::kAssetLines; ++i) {
        connect(txtAssets[i], &QLineEdit::textChanged, this, [this, i] { txtAssets_Change(i); });
        connect(txtAmountAssets[i], &QLineEdit::textChanged, this, [this, i] { txtAmountAssets_Change(i); });
    }
    for (int i = 0; i < shell::kLiabilityLines; ++i) {
        connect(txtLiabilities[i], &QLineEdit::textChanged, this, [this, i] { txtLiabilities_Change(i); });
        connect(txtAmountL[i], &QLineEdit::textChanged, this, [this, i] { txtAmountL_Change(i); });
    }
    connect(PushButton6, &QPushButton::clicked, this, [this] { PushButton6_Click(); });
    connect(PushButton7, &QPushButton::clicked, this, [this] { PushButton7_Click(); });
    connect(PushButton22, &QPushButton::clicked, this, [this] { PushButton22_Click(); });

    watch(this);
    for (QWidget* w : findChildren<QWidget*>())
        watch(w);
}

void Form1::watch(QWidget* widget) {
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
}

// ---- start-up --------------------------------------------------------------------------------------------

// Restoring is not a change: the box's change handler runs as for any change, but a field that ends up
// showing exactly the stored text writes nothing. A text the restore reformats (an amount put in
// currency form) or a key that was missing is stored as the box now shows it.
void Form1::showRestored(const shell::StoredField& field, const shell::RestoredValue& value,
                         const std::optional<QString>& stored) {
    using Kind = shell::StoredField::Kind;
    struct Restoring {
        const std::optional<QString>*& slot;
        const std::optional<QString>* previous;
        ~Restoring() { slot = previous; }
    } restoring{restoring_, std::exchange(restoring_, &stored)};
    const auto text = [&value] { return std::get<QString>(value); };
    const auto line = static_cast<size_t>(field.index);
    switch (field.kind) {
        case Kind::Name:
            txtName->setText(text());
            break;
        case Kind::Date:
            dtpFrom->setDate(std::get<QDate>(value));
            break;
        case Kind::AssetDescription:
            txtAssets[line]->setText(text());
            break;
        case Kind::AssetAmount:
            txtAmountAssets[line]->setText(text());
            break;
        case Kind::LiabilityDescription:
            txtLiabilities[line]->setText(text());
            break;
        case Kind::LiabilityAmount:
            txtAmountL[line]->setText(text());
            break;
    }
}

void Form1::Form_Load() {
    shell::Procedure p(QStringLiteral("Form1"), QStringLiteral("Form_Load"));
    p.step(102, [&] { shell::ApplySkin(this); });
    p.step(104, [&] {
        // The window shows the application's icon, which every window of the program has.
        setWindowTitle(shell::product::kName);
        SetAppTitle();
    });
    p.step(106, [&] { setUpdatesEnabled(false); });
    bool hasCursorFile = false;
    p.step(108, [&] { hasCursorFile = shell::FileExists(shell::handCursorPath()); });
    if (hasCursorFile)
        p.step(110, [&] { loadHandCursor(); });

    // Lines 130 to 156: a field that cannot be restored leaves its box as it was.
    {
        const OneWrite restored(*this);
        shell::restoreStatement(store_, p, [this](const auto& field, const auto& value, const auto& stored) {
            showRestored(field, value, stored);
        });
    }

    int tabCounter = 0;
    p.step(134, [&] { tabCounter = 2 * shell::kAssetLines; });
    for (int i = 0; i < shell::kAssetLines; ++i) {
        p.step(142, [&] { tabSequence_.setPosition(txtAssets[i], 2 * i); });
        p.step(144, [&] { tabSequence_.setPosition(txtAmountAssets[i], 2 * i + 1); });
    }
    for (int i = 0; i < shell::kLiabilityLines; ++i) {
        p.step(158, [&] { tabSequence_.setPosition(txtLiabilities[i], tabCounter); });
        p.step(160, [&] { ++tabCounter; });
        p.step(162, [&] { tabSequence_.setPosition(txtAmountL[i], tabCounter); });
        p.step(164, [&] { ++tabCounter; });
    }
    p.step(166, [&] { tabSequence_.setPosition(PushButton22, 0); });
    p.step(168, [&] { tabSequence_.setPosition(dtpFrom, 1); });
    p.step(170, [&] {
        tabSequence_.setPosition(txtName, 3);
        tabSequence_.apply();
    });
    p.step(172, [&] { setUpdatesEnabled(true); });
    p.step(174, [&] { RequireExcel(); });
}

void Form1::SetAppTitle() {
    shell::setApplicationTitle(shell::shortenedTitle(shell::product::kName));
}

void Form1::loadHandCursor() {
    mouseIcon_ = shell::loadCursorFile(shell::handCursorPath());
}

void Form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        // On a screen too small for the window (a large scale factor) its content scrolls.
        if (QWidget* content = shell::fitOnScreen(this))
            watch(content);
        shell::placeOnScreen(this);
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    // Closing the main window ends the program; nothing is saved now, every field was stored when it
    // changed, and the focus leaving a box must not run its check any more.
    closing_ = true;
    QWidget::closeEvent(event);
    QCoreApplication::quit();
}

// ---- public interface ------------------------------------------------------------------------------------

shell::StatementRecord Form1::statement() const {
    shell::StatementRecord record;
    record.name = txtName->text();
    record.date = dtpFrom->date();
    for (int i = 0; i < shell::kAssetLines; ++i) {
        record.assetDescriptions[i] = txtAssets[i]->text();
        record.assetAmounts[i] = txtAmountAssets[i]->text();
    }
    for (int i = 0; i < shell::kLiabilityLines; ++i) {
        record.liabilityDescriptions[i] = txtLiabilities[i]->text();
        record.liabilityAmounts[i] = txtAmountL[i]->text();
    }
    return record;
}

void Form1::showStatement(const shell::StatementRecord& statement) {
    txtName->setText(statement.name);
    if (statement.date.isValid())
        dtpFrom->setDate(statement.date);
    for (int i = 0; i < shell::kAssetLines; ++i) {
        txtAssets[i]->setText(statement.assetDescriptions[size_t(i)]);
        txtAmountAssets[i]->setText(statement.assetAmounts[size_t(i)]);
    }
    for (int i = 0; i < shell::kLiabilityLines; ++i) {
        txtLiabilities[i]->setText(statement.liabilityDescriptions[size_t(i)]);
        txtAmountL[i]->setText(statement.liabilityAmounts[size_t(i)]);
    }
}

void Form1::setGenerateHandler(std::function<void()> handler) {
    generateHandler_ = std::move(handler);
}

void Form1::setMousePointer(shell::MousePointer pointer) {
    mousePointer_ = pointer;
    shell::applyMousePointer(this, pointer, mouseIcon_);
}

// ---- events ----------------------------------------------------------------------------------------------

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (closing_)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::FocusIn: {
            // Entering a box selects its text however the focus came, a click into the window while
            // another one was active included; only the box's own context menu closing is no entry.
            if (static_cast<QFocusEvent*>(event)->reason() == Qt::PopupFocusReason)
                break;
            if (const int i = indexIn(txtAssets, watched); i >= 0)
                txtAssets_GotFocus(i);
            if (const int i = indexIn(txtAmountAssets, watched); i >= 0)
                txtAmountAssets_GotFocus(i);
            if (const int i = indexIn(txtLiabilities, watched); i >= 0)
                txtLiabilities_GotFocus(i);
            if (const int i = indexIn(txtAmountL, watched); i >= 0)
                txtAmountL_GotFocus(i);
            break;
        }
        case QEvent::KeyPress: {
            // Tab leaves the date picker instead of walking through its day, month and year.
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool inPicker = watched == dtpFrom || watched->parent() == dtpFrom;
            if (inPicker && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
                !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
                focusNextPrevChild(key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier));
                return true;
            }
            break;
        }
        case QEvent::FocusOut:
            onFocusOut(watched, static_cast<QFocusEvent*>(event)->reason());
            break;
        case QEvent::MouseMove:
            // Labels have no pointer feedback: the move stops there and leaves the pointer as it was.
            if (qobject_cast<QLabel*>(watched))
                return true;
            if (watched == PushButton6 || watched == PushButton7 || watched == PushButton22) {
                PushButton_MouseMove();
                // A button ignores a move without a pressed mouse button, which would pass it on to the
                // window and undo the hand; a move during a press must reach it.
                if (static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton)
                    return true;
            } else {
                Form_MouseMove();
            }
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::onFocusOut(QObject* watched, Qt::FocusReason reason) {
    // The check runs only when the focus moves on to another control of this window; a message box taking
    // the focus (the check's own one included) does not set it off.
    if (validating_ || !movesWithinWindow(reason))
        return;
    const QWidget* next = QApplication::focusWidget();
    if (!next || next->window() != this)
        return;
    QLineEdit* box = nullptr;
    bool cancel = false;
    validating_ = true;
    if (const int i = indexIn(txtAmountAssets, watched); i >= 0) {
        box = txtAmountAssets[i];
        txtAmountAssets_Validate(i, cancel);
    } else if (const int j = indexIn(txtAmountL, watched); j >= 0) {
        box = txtAmountL[j];
        txtAmountL_Validate(j, cancel);
    }
    if (box && cancel) {
        // The focus stays in the failing box, and its text is selected there, whether or not the
        // window has the activation back from the message box yet.
        box->setFocus(Qt::OtherFocusReason);
        activateWindow();
        shell::SendHomeShiftEnd(box);
    }
    validating_ = false;
}

void Form1::store(const QString& key, const QString& text) {
    if (restoring_ && *restoring_ == text)
        return;
    if (gathered_)
        gathered_->insert(key, text);
    else
        shell::storeStatementFields(store_, {{key, text}});
}

void Form1::txtName_Change() {
    store(shell::keys::name(), txtName->text());
}
void Form1::dtpFrom_Change() {
    store(shell::keys::date(), shell::dateToStoreText(dtpFrom->date()));
}
void Form1::txtAssets_Change(int index) {
    store(shell::keys::assetDescription(index), txtAssets[index]->text());
}
void Form1::txtAmountAssets_Change(int index) {
    store(shell::keys::assetAmount(index), txtAmountAssets[index]->text());
}
void Form1::txtLiabilities_Change(int index) {
    store(shell::keys::liabilityDescription(index), txtLiabilities[index]->text());
}
void Form1::txtAmountL_Change(int index) {
    store(shell::keys::liabilityAmount(index), txtAmountL[index]->text());
}

void Form1::txtAssets_GotFocus(int index) {
    shell::SendHomeShiftEnd(txtAssets[index]);
}
void Form1::txtAmountAssets_GotFocus(int index) {
    shell::SendHomeShiftEnd(txtAmountAssets[index]);
}
void Form1::txtLiabilities_GotFocus(int index) {
    shell::SendHomeShiftEnd(txtLiabilities[index]);
}
void Form1::txtAmountL_GotFocus(int index) {
    shell::SendHomeShiftEnd(txtAmountL[index]);
}

void Form1::txtAmountAssets_Validate(int index, bool& cancel) {
    validateAmount(txtAmountAssets[index], cancel);
}
void Form1::txtAmountL_Validate(int index, bool& cancel) {
    validateAmount(txtAmountL[index], cancel);
}

void Form1::validateAmount(QLineEdit* box, bool& cancel) {
    if (const auto amount = shell::parseAmount(box->text())) {
        box->setText(shell::currencyText(*amount));
        return;
    }
    shell::MessageBoxes::inform(QStringLiteral("Please enter a valid amount."), this);
    box->setText(shell::currencyText(0));
    cancel = true;
}

void Form1::Form_MouseMove() {
    using shell::MousePointer;
    if (mousePointer_ == MousePointer::Hourglass)
        return;
    if (mousePointer_ != MousePointer::Default)
        setMousePointer(MousePointer::Default);
}

void Form1::PushButton_MouseMove() {
    using shell::MousePointer;
    if (mousePointer_ == MousePointer::Hourglass)
        return;
    if (mousePointer_ != MousePointer::Custom)
        setMousePointer(MousePointer::Custom);
}

void Form1::PushButton6_Click() {
    shell::Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton6_Click"));
    p.step(100, [&] {
        shell::MessageBoxes::inform(
            QStringLiteral("Questions? Please contact Team Brackenlow at ") + shell::product::kContactAddress,
            this);
    });
}

void Form1::PushButton7_Click() {
    shell::Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton7_Click"));
    const OneWrite sample(*this);
    p.step(100, [&] { txtName->setText(toQString(sample::kName)); });
    int line = 102;
    for (int i = 0; i < shell::kAssetLines; ++i, line += 2) {
        p.step(line, [&] { txtAmountAssets[i]->setText(toQString(sample::kAssetAmounts[i])); });
    }
    for (int i = 0; i < shell::kLiabilityLines; ++i, line += 2) {
        p.step(line, [&] { txtAmountL[i]->setText(toQString(sample::kLiabilityAmounts[i])); });
    }
}

void Form1::PushButton22_Click() {
    if (generateHandler_)
        generateHandler_();
}

}  // namespace entry
