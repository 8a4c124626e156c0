#pragma once

#include "common/Presenter.h"

#include <functional>

// Shows the console's messages in modal message boxes.
class MessageBoxPresenter final : public Presenter
{
public:
    // Opens a page of the user guide, for the Help button of a message that
    // names one; without it no box has a Help button.
    using HelpOpener = std::function<void(const QString &page)>;
    explicit MessageBoxPresenter(HelpOpener showHelp = {});

    Answer showMessage(const Message &message) override;
    std::optional<QString> askText(const TextRequest &request) override;
    std::optional<QString> askOpenFileName(const FileRequest &request) override;
    std::optional<QString> askSaveFileName(const FileRequest &request) override;
    std::optional<QString> askFolder(const FolderRequest &request) override;
    std::optional<int> askChoice(const ChoiceRequest &request) override;

private:
    HelpOpener m_showHelp;
};
