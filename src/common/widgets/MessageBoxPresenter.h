#pragma once

#include "common/Presenter.h"

// Shows the console's messages in modal message boxes.
class MessageBoxPresenter final : public Presenter
{
public:
    Answer showMessage(const Message &message) override;
    std::optional<QString> askText(const TextRequest &request) override;
    std::optional<QString> askOpenFileName(const FileRequest &request) override;
    std::optional<QString> askSaveFileName(const FileRequest &request) override;
    std::optional<QString> askFolder(const FolderRequest &request) override;
    std::optional<int> askChoice(const ChoiceRequest &request) override;
};
