#pragma once
#include <QDir>
#include <QString>
#include <QTemporaryDir>

namespace k8w::test {

// A fresh temporary directory made the current one for the test's lifetime:
// the program opens its database and log by bare name.
class TempWorkdir {
public:
    TempWorkdir() : previous_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }
    ~TempWorkdir() { QDir::setCurrent(previous_); }
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
    QString previous_;
};

} // namespace k8w::test
