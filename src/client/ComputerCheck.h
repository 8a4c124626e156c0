#pragma once

#include "client/ComputerView.h"

#include <functional>
#include <map>
#include <optional>
#include <string>

// The check of one computer before its migration, in steps so that the
// service can look at its link (abort, keep-alive) between them. Each step
// reports findings: a code of modFindings and the particulars.
class ComputerCheck
{
public:
    using Config = std::map<std::string, std::string, std::less<>>;
    using Report = std::function<void(int code, const std::string &text)>;

    ComputerCheck(ComputerView &computer, const Config &config);

    static constexpr std::size_t StepCount = 5;
    // Whether a step may take long enough to ask the console for more time.
    static bool IsLong(std::size_t step);
    void runStep(std::size_t step, const Report &report);

private:
    void checkRights(const Report &report);
    void checkJoin(const Report &report);
    void checkUsers(const Report &report);
    void checkDisk(const Report &report);
    void checkReboot(const Report &report);

    std::string value(std::string_view key) const;
    const std::optional<std::string> &joined();
    std::optional<ComputerView::Account> lookUp(const std::string &name, const std::string &domain);

    ComputerView &m_computer;
    const Config &m_config;
    bool m_joinedKnown = false;
    std::optional<std::string> m_joined;
};
