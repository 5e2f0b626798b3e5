#include "gui/Dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

namespace {
const QString kCaption = QStringLiteral("Tarvelo");
constexpr int kInputLength = 255;
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
    // At most 255 typed characters; a longer prefill stays whole.
    if (auto* edit = dialog.findChild<QLineEdit*>()) {
        edit->setMaxLength(std::max<int>(kInputLength, int(text.size())));
        edit->setText(text);
    }
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
