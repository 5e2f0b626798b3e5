#include "gui/Dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace {
const QString kCaption = QStringLiteral("Tarvelo");
constexpr int kInputLength = 255;
// Room in a title bar for the window system's buttons beside the caption.
constexpr int kTitleButtons = 120;
constexpr int kInputBoxWidth = 240;

// The input box stands in the middle of the screen, wherever the main window
// is. Its frame is not known before it is shown: the main window's tells how
// much the window system adds.
void centreOnScreen(QWidget& box, const QWidget* parent) {
    const QWidget* window = parent ? parent->window() : nullptr;
    const QScreen* screen =
        window && window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QSize frame = window ? window->frameGeometry().size() - window->size() : QSize();
    const QSize outer = box.size() + frame;
    const QRect area = screen->availableGeometry();
    box.move(area.x() + (area.width() - outer.width()) / 2,
             area.y() + (area.height() - outer.height()) / 2);
}
} // namespace

DesktopDialogs::DesktopDialogs() = default;
DesktopDialogs::~DesktopDialogs() = default;

std::optional<QString> DesktopDialogs::openListFile(QWidget* parent) {
    QFileDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("open"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A name that does not exist yet is accepted as typed.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    // Shown as "Textdateien" and "alle Dateien", without their patterns (the
    // dialog trims the blank that ends the second name); "*" takes every file.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilters(
        {QStringLiteral("Textdateien (*.txt)"), QStringLiteral("alle Dateien (*)")});
    // The picker starts from its own last choice, not from the list path.
    if (!m_lastOpenFile.isEmpty()) {
        const QFileInfo last(m_lastOpenFile);
        dialog.setDirectory(last.absolutePath());
        dialog.selectFile(last.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    m_lastOpenFile = QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath();
    return m_lastOpenFile;
}

std::optional<QString> DesktopDialogs::saveExportFile(QWidget* parent, const QString& proposed) {
    QFileDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("Save"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilters({QStringLiteral("Textdateien (*.txt)")});
    // The export overwrites an existing file without asking.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> DesktopDialogs::inputBox(QWidget* parent, const QString& caption,
                                                const QString& prompt, const QString& text) {
    QInputDialog dialog(parent);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(text);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Abbrechen"));
    // Wide enough for the caption to stand whole in the title bar, whose font
    // may be half again as wide as the box's own. (The box takes its width
    // from its edit field.)
    const int captionWidth =
        QFontMetrics(dialog.font()).horizontalAdvance(caption) * 3 / 2 + kTitleButtons;
    const QMargins margins = dialog.layout() ? dialog.layout()->contentsMargins() : QMargins();
    // At most 255 typed characters; a longer prefill stays whole.
    if (auto* edit = dialog.findChild<QLineEdit*>()) {
        edit->setMaxLength(std::max<int>(kInputLength, int(text.size())));
        edit->setText(text);
        edit->setMinimumWidth(std::max(kInputBoxWidth, captionWidth) - margins.left() -
                              margins.right());
    }
    dialog.adjustSize();
    centreOnScreen(dialog, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.textValue();
}

bool DesktopDialogs::confirm(QWidget* parent, const QString& question) {
    QMessageBox box(QMessageBox::Question, kCaption, question, QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("Abbrechen"), QMessageBox::RejectRole);
    box.exec();
    return box.clickedButton() == yes;
}

void DesktopDialogs::message(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, kCaption, text, QMessageBox::Ok, parent);
    box.exec();
}
