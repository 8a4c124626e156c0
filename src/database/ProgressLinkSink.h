#pragma once

#include "common/ProgressBarLink.h"
#include "database/ProgressSink.h"

// Lets the database report into a progress link, so that the tree rebuild
// shows in the progress window (or an embedded bar) without the database
// knowing either. The caller keeps the link alive and finishes it.
class ProgressLinkSink final : public ProgressSink
{
public:
    // The tree rebuild does not ask for cancel, so by default the window
    // offers no Cancel button.
    explicit ProgressLinkSink(ProgressBarLink &link, bool cancelAllowed = false)
        : m_link(link)
        , m_cancelAllowed(cancelAllowed)
    { }

    void Start(int minimum, int maximum, const QString &caption, const QString &message) override
    {
        m_link.Start(minimum, maximum, caption, message, 0, m_cancelAllowed);
    }
    void SetValue(int value) override { m_link.SetValue(value); }
    void IncVal() override { m_link.IncVal(); }
    bool CancelVal() override { return m_link.CancelVal(); }

private:
    ProgressBarLink &m_link;
    bool m_cancelAllowed;
};
