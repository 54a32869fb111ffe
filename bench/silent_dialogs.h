#pragma once

#include "mainwindow/user_dialogs.h"

namespace stanzel::bench {

// Dialogs that answer at once and show nothing, so a window can be timed.
class SilentDialogs : public UserDialogs {
public:
    void message(QWidget*, Icon, const QString&, const QString&) override {}
    bool question(QWidget*, const QString&, const QString&, Answer) override { return true; }
    bool openUrl(const QUrl&) override { return true; }
    std::optional<QString> inputText(QWidget*, const QString&, const QString&) override {
        return std::nullopt;
    }
    bool exec(QDialog&) override { return false; }
    std::optional<QColor> chooseColour(QWidget*, const QColor&) override { return std::nullopt; }
    void print(const PrintedPoem&) override {}
    void showPrintPreview(QPrintPreviewDialog&) override {}
    std::optional<SaveChoice> saveFile(QWidget*, const QStringList&, int) override {
        return std::nullopt;
    }
    std::optional<QString> saveFileIn(QWidget*, const QString&, const QString&,
                                      const QString&) override {
        return std::nullopt;
    }
    std::unique_ptr<Progress> progress(QWidget*, const QString&) override { return nullptr; }
    std::optional<std::uint64_t> chooseDraft(QWidget*, const DraftListTexts&,
                                             const std::vector<DraftRow>&,
                                             const std::function<bool(std::uint64_t)>&) override {
        return std::nullopt;
    }
};

} // namespace stanzel::bench
