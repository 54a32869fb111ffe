#pragma once

#include "mainwindow/user_dialogs.h"

namespace stanzel {

// The real dialogs: Qt's message boxes and the desktop's URL opener.
class QtUserDialogs : public UserDialogs {
public:
    void message(QWidget* parent, Icon icon, const QString& title, const QString& text) override;
    bool question(QWidget* parent, const QString& title, const QString& text,
                  Answer preferred) override;
    bool openUrl(const QUrl& url) override;
    std::optional<QString> inputText(QWidget* parent, const QString& title,
                                     const QString& prompt) override;
    bool exec(QDialog& dialog) override;
    std::optional<SaveChoice> saveFile(QWidget* parent, const QStringList& filters,
                                       int preselected) override;
    std::optional<QString> saveFileIn(QWidget* parent, const QString& filter, const QString& folder,
                                      const QString& name) override;
    std::unique_ptr<Progress> progress(QWidget* parent, const QString& title) override;
    std::optional<QColor> chooseColour(QWidget* parent, const QColor& initial) override;
    void print(const PrintedPoem& poem) override;
    void showPrintPreview(QPrintPreviewDialog& preview) override;
    std::optional<std::uint64_t>
    chooseDraft(QWidget* parent, const DraftListTexts& texts, const std::vector<DraftRow>& rows,
                const std::function<bool(std::uint64_t number)>& remove) override;
};

} // namespace stanzel
