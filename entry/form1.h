#pragma once

#include <QCursor>
#include <QMap>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "entry/caption_frame.h"
#include "entry/tab_sequence.h"
#include "shell/core/mouse_pointer.h"
#include "shell/core/settings_store.h"
#include "shell/core/statement.h"
#include "shell/core/stored_statement.h"

class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace Ui {
class Form1;
}

class Form1StartupTest;
class Form1EditingTest;

namespace entry {

// The main window: the one statement the program knows. Its controls are the statement record; every
// change of a field is written to the settings store at once.
class Form1 : public QWidget {
    Q_OBJECT

public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // The start-up sequence: dress the window, restore the statement, fix the tab order, check that a
    // spreadsheet application can be created (the program ends when it cannot).
    void Form_Load();

    // The statement as the boxes show it.
    shell::StatementRecord statement() const;

    // What "Start Creating Template" does; nothing happens while none is set.
    void setGenerateHandler(std::function<void()> handler);

    // Puts a statement into the boxes, as if typed there: each field is stored as it changes.
    void showStatement(const shell::StatementRecord& statement);

signals:
    // Ctrl+H: the user asks for the statement history.
    void historyRequested();

public:
    void setMousePointer(shell::MousePointer pointer);
    shell::MousePointer mousePointer() const { return mousePointer_; }
    // The hand cursor loaded at start-up, if its file was found.
    const std::optional<QCursor>& mouseIcon() const { return mouseIcon_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The tests drive the controls as a user would.
    friend class ::Form1StartupTest;
    friend class ::Form1EditingTest;

    // The controls keep their design names; control arrays are indexable from 0.
    QPushButton* PushButton22 = nullptr;
    QPushButton* PushButton6 = nullptr;
    QPushButton* PushButton7 = nullptr;
    CaptionFrame* Frame1 = nullptr;
    CaptionFrame* Frame2 = nullptr;
    CaptionFrame* Frame3 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label7 = nullptr;
    QDateEdit* dtpFrom = nullptr;
    QLineEdit* txtName = nullptr;
    std::array<QLineEdit*, shell::kAssetLines> txtAssets{};
    std::array<QLineEdit*, shell::kAssetLines> txtAmountAssets{};
    std::array<QLineEdit*, shell::kLiabilityLines> txtLiabilities{};
    std::array<QLineEdit*, shell::kLiabilityLines> txtAmountL{};
    // Members 0, 1, 12 and 13 exist.
    QLabel* lblYear(int index) const;
    const shell::SettingsStore& settingsStore() const { return store_; }

    // Start-up routines.
    void SetAppTitle();
    void loadHandCursor();

    // Change: store the field.
    void txtName_Change();
    void dtpFrom_Change();
    void txtAssets_Change(int index);
    void txtAmountAssets_Change(int index);
    void txtLiabilities_Change(int index);
    void txtAmountL_Change(int index);

    // Got focus: select the whole text.
    void txtAssets_GotFocus(int index);
    void txtAmountAssets_GotFocus(int index);
    void txtLiabilities_GotFocus(int index);
    void txtAmountL_GotFocus(int index);

    // Validate: check and format the amount; cancel keeps the focus in the box.
    void txtAmountAssets_Validate(int index, bool& cancel);
    void txtAmountL_Validate(int index, bool& cancel);
    void validateAmount(QLineEdit* box, bool& cancel);

    // Pointer feedback.
    void Form_MouseMove();
    void PushButton_MouseMove();

    void PushButton6_Click();
    void PushButton7_Click();
    void PushButton22_Click();

    void dressControls();
    void connectHandlers();
    void watch(QWidget* widget);
    void onFocusOut(QObject* watched, Qt::FocusReason reason);
    void store(const QString& key, const QString& text);
    // While it lives, the fields' changes are gathered and then reach the store as one write: a change of
    // many fields at once (the restore, the sample) is never seen half done by another process.
    class OneWrite;
    void showRestored(const shell::StoredField& field, const shell::RestoredValue& value,
                      const std::optional<QString>& stored);

    std::unique_ptr<Ui::Form1> ui_;
    std::array<QLabel*, 4> lblYear_{};
    shell::SettingsStore store_;
    TabSequence tabSequence_;
    std::function<void()> generateHandler_;
    shell::MousePointer mousePointer_ = shell::MousePointer::Default;
    // While a field is restored: the text the store held for it (nothing when the key was missing).
    const std::optional<QString>* restoring_ = nullptr;
    // The changes gathered while a OneWrite lives.
    std::optional<QMap<QString, QString>> gathered_;
    std::optional<QCursor> mouseIcon_;
    bool validating_ = false;
    bool closing_ = false;
};

}  // namespace entry
