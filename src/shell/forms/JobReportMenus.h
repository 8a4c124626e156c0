#pragma once

#include <QObject>

class ComputerDB;
class MigrationRun;
class QAction;
class QMenu;
class SettingsFileController;

// The main window's items for big jobs: Tools > Readiness Report... and
// File > New Job from Unfinished Computers..., placed beside items the
// window already has.
class JobReportMenus : public QObject
{
    Q_OBJECT

public:
    struct Items
    {
        QMenu *File = nullptr;
        QAction *AfterNewJob = nullptr; // the item the new-job item follows
        QMenu *Tools = nullptr;
        QAction *BeforeReadiness = nullptr; // the item the report goes above
        QWidget *Owner = nullptr;
    };

    JobReportMenus(const Items &items, ComputerDB &database, MigrationRun &run, SettingsFileController &files);

    QAction *mnuReadinessReport = nullptr;
    QAction *mnuNewJobFromUnfinished = nullptr;

    void mnuNewJobFromUnfinished_Click();

private:
    void updateItems();

    Items m_items;
    ComputerDB &m_database;
    MigrationRun &m_run;
    SettingsFileController &m_files;
};
