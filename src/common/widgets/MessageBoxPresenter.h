#pragma once

#include "common/Presenter.h"

// Shows the console's messages in modal message boxes.
class MessageBoxPresenter final : public Presenter
{
public:
    Answer showMessage(const Message &message) override;
};
