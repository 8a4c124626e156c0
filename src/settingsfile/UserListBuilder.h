#pragma once

#include "settings/MigrationUsers.h"

#include <QtGlobal>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class UserProfiles;

// Fills the user lists of a settings file while the reader goes on through
// the file. On a large database the lists are most of the memory a load
// takes, and taking fresh memory is slow; a thread of its own does it
// beside the parsing. Lists are handed over in batches; a small file never
// fills one, and its lists are filled on the caller's thread in Finish.
//
// Between Begin and the next Begin or Finish the caller adds a list's
// entries. A list handed over must stay alive, and nothing else may touch
// it, until Finish has returned.
class UserListBuilder
{
public:
    UserListBuilder() = default;
    ~UserListBuilder();
    UserListBuilder(const UserListBuilder &) = delete;
    UserListBuilder &operator=(const UserListBuilder &) = delete;

    void Begin(UserProfiles *list, int listType, int nextID);
    // `id` is below the list's next ID; false, and nothing is added, when
    // the list has an entry with this ID already.
    bool AddEntry(int id, const MigrationUserView &entry);
    // Waits until every list is filled. False when memory ran out on the
    // way; the lists are then in no state to use.
    bool Finish();

private:
    struct Batch
    {
        struct List
        {
            UserProfiles *Target;
            int Type;
            int NextID;
            std::size_t Table;
            std::size_t Bytes;
        };
        std::vector<List> Lists;
        std::vector<quint32> Table;
        std::string Bytes;
        void clear();
        std::size_t size() const { return Table.size() * sizeof(quint32) + Bytes.size(); }
    };

    static void fill(const Batch &batch);
    void handOver();
    void run();

    std::unique_ptr<Batch> m_current;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::unique_ptr<Batch>> m_queue;
    std::vector<std::unique_ptr<Batch>> m_spare;
    bool m_done = false;
    bool m_failed = false;
    std::thread m_thread;
};
