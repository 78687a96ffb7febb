#pragma once

#include <QDir>
#include <QString>
#include <QTemporaryDir>

// A temporary folder that is the working directory for as long as the object lives: the
// program looks for its settings file, its tone file and its COMn links there.
class WorkingFolder {
  public:
    WorkingFolder() { QDir::setCurrent(folder_.path()); }
    ~WorkingFolder() { QDir::setCurrent(previous_); }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

    bool isValid() const { return folder_.isValid(); }
    QString path() const { return folder_.path(); }
    QString filePath(const QString& name) const { return folder_.filePath(name); }

  private:
    QString previous_ = QDir::currentPath();
    QTemporaryDir folder_;
};
