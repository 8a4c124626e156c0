#include "settingsfile/UserListBuilder.h"

#include "settings/UserProfiles.h"

#include <algorithm>

namespace {

// A batch goes over at about this size: large enough that handing over
// costs nothing beside the filling, small enough to stay in the cache.
constexpr std::size_t kBatchBytes = 256 * 1024;
// The reader waits when the thread is this many batches behind.
constexpr std::size_t kMaxQueued = 2;

} // namespace

void UserListBuilder::Batch::clear()
{
    Lists.clear();
    Table.clear();
    Bytes.clear();
}

UserListBuilder::~UserListBuilder()
{
    Finish();
}

void UserListBuilder::Begin(UserProfiles *list, int listType, int nextID)
{
    if (m_current && m_current->size() >= kBatchBytes)
        handOver();
    if (!m_current)
        m_current = std::make_unique<Batch>();
    Batch &batch = *m_current;
    batch.Lists.push_back({list, listType, nextID, batch.Table.size(), batch.Bytes.size()});
    batch.Table.resize(batch.Table.size() + std::size_t(std::max(nextID, 0)), 0);
}

bool UserListBuilder::AddEntry(int id, const MigrationUserView &entry)
{
    Batch &batch = *m_current;
    const Batch::List &list = batch.Lists.back();
    quint32 &slot = batch.Table[list.Table + std::size_t(id)];
    if (slot != 0)
        return false;
    slot = UserProfiles::EncodeEntry(batch.Bytes, list.Bytes, entry);
    return true;
}

bool UserListBuilder::Finish()
{
    if (m_thread.joinable()) {
        if (m_current && !m_current->Lists.empty())
            handOver();
        {
            std::unique_lock lock(m_mutex);
            m_done = true;
        }
        m_changed.notify_all();
        m_thread.join();
        m_done = false;
    } else if (m_current) {
        // Never handed over: a small file, filled here and now.
        try {
            fill(*m_current);
        } catch (...) {
            m_failed = true;
        }
    }
    m_current.reset();
    return !m_failed;
}

void UserListBuilder::fill(const Batch &batch)
{
    for (std::size_t i = 0; i < batch.Lists.size(); ++i) {
        const Batch::List &list = batch.Lists[i];
        const std::size_t end = i + 1 < batch.Lists.size() ? batch.Lists[i + 1].Bytes : batch.Bytes.size();
        list.Target->RestoreEncoded(list.Type, list.NextID, batch.Table.data() + list.Table,
            std::string_view(batch.Bytes).substr(list.Bytes, end - list.Bytes));
    }
}

void UserListBuilder::handOver()
{
    std::unique_lock lock(m_mutex);
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });
    m_changed.wait(lock, [this] { return m_queue.size() < kMaxQueued; });
    m_queue.push_back(std::move(m_current));
    if (!m_spare.empty()) {
        m_current = std::move(m_spare.back());
        m_spare.pop_back();
    }
    lock.unlock();
    m_changed.notify_all();
}

void UserListBuilder::run()
{
    for (;;) {
        std::unique_ptr<Batch> batch;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return !m_queue.empty() || m_done; });
            if (m_queue.empty())
                return;
            batch = std::move(m_queue.front());
            m_queue.pop_front();
        }
        m_changed.notify_all();
        bool failed = false;
        try {
            fill(*batch);
        } catch (...) {
            failed = true;
        }
        batch->clear();
        {
            std::unique_lock lock(m_mutex);
            m_failed = m_failed || failed;
            m_spare.push_back(std::move(batch));
        }
    }
}
