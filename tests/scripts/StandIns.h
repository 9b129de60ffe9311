#pragma once

// Stand-ins for the machine that the package step talks to: a dpkg database of our own (the real
// dpkg-query reads it through DPKG_ADMINDIR), and apt-get, sudo or cmake as small scripts on PATH
// that write down how they were called. Everything is readable by any user, so that a script
// can also be run as an ordinary user.

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class TStandIns {
public:
    TStandIns() {
        Open(Root.path(), QFileDevice::ExeOther);
        QDir(Root.path()).mkpath("bin");
        QDir(Root.path()).mkpath("admin");
        Open(Root.filePath("bin"), QFileDevice::ExeOther);
        Open(Root.filePath("admin"), QFileDevice::ExeOther);
        Write("admin/status", "");
        Write("calls", "");
        QFile::setPermissions(Root.filePath("calls"),
                              QFile::permissions(Root.filePath("calls")) | QFileDevice::WriteOther);
    }

    // Installed packages, one "NAME ARCHITECTURE STATUS" each ("libgl-dev i386 installed").
    void Installed(const QStringList& entries) {
        QString status;
        for (const QString& entry : entries) {
            const QStringList f = entry.split(' ');
            // Only a package built for one architecture can be there for several.
            status += "Package: " + f[0] + "\nStatus: install ok " + f[2] +
                      "\nArchitecture: " + f[1] + (f[1] == "all" ? "" : "\nMulti-Arch: same") +
                      "\nVersion: 1.0\nMaintainer: nobody <nobody@example.com>"
                      "\nDescription: a stand-in\n\n";
        }
        Write("admin/status", status);
    }

    // A program of the machine, as it is.
    void Real(const QString& name, const QString& target) {
        ASSERT_TRUE(QFile::link(target, Root.filePath("bin/" + name))) << name.toStdString();
    }

    // A stand-in program: a shell script that first writes its name and arguments to the calls.
    void Fake(const QString& name, const QString& body) {
        Write("bin/" + name, "#!/bin/sh\necho \"" + name + " $*\" >>'" + Root.filePath("calls") +
                                 "'\n" + body + "\n");
        QFile::setPermissions(Root.filePath("bin/" + name),
                              QFile::permissions(Root.filePath("bin/" + name)) |
                                  QFileDevice::ExeOwner | QFileDevice::ExeOther);
    }

    // apt-get that installs nothing; `conflicts` are shell case patterns and the installed
    // package that apt would remove for each ("imagemagick) removes=graphicsmagick-imagemagick-
    // compat ;;"), which its dry run names as apt's does and which --no-remove refuses. With
    // `listsLocked`, another package manager holds the package lists for two updates.
    void AptGet(const QString& conflicts = {}, bool listsLocked = false) {
        const QString refuse =
            QString(
                "case \" $* \" in *' update '*) echo >>'%1'\n"
                "  [ $(wc -l <'%1') -gt 2 ] || { echo 'E: Could not get lock /var/lib/apt/lists/"
                "lock. It is held by process 4242 (apt-get)' >&2; exit 100; } ;;\nesac\n")
                .arg(Root.filePath("updates"));
        Fake("apt-get", (listsLocked ? refuse : QString()) + "removes=\nfor a; do case $a in " +
                            conflicts +
                            " esac; done\n"
                            "[ -n \"$removes\" ] || exit 0\n"
                            "case \" $* \" in\n"
                            "*' -s '*) echo \"Remv $removes [1.0]\" ;;\n"
                            "*' --no-remove '*) echo 'E: Packages need to be removed but remove is"
                            " disabled.' >&2; exit 100 ;;\n"
                            "*' install '*) echo \"removed $removes\" >>'" +
                            Root.filePath("calls") + "' ;;\nesac");
    }

    void SudoAllows() { Fake("sudo", "[ \"$1\" = -n ] && shift\n\"$@\""); }
    void SudoRefuses() {
        Fake("sudo", "echo 'sudo: a terminal is required to read the password' >&2\n"
                     "echo 'sudo: a password is required' >&2\nexit 1");
    }

    // The calls of the stand-ins, in order ("apt-get update -qq").
    QStringList Calls() const {
        QFile file(Root.filePath("calls"));
        file.open(QIODevice::ReadOnly);
        return QString::fromLocal8Bit(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    // The calls that would have changed the machine: everything but a dry run or a list update.
    QStringList Changes() const {
        QStringList changes;
        for (const QString& call : Calls())
            if (call.startsWith("apt-get") && !call.contains(" -s ") &&
                !call.endsWith(" update -qq"))
                changes << call;
            else if (call.startsWith("removed"))
                changes << call;
        return changes;
    }

    // `base` with the stand-ins first on PATH (or alone on it) and their dpkg database.
    QProcessEnvironment Env(QProcessEnvironment base, bool alone = false) const {
        const QString bin = Root.filePath("bin");
        base.insert("PATH", alone ? bin : bin + ":" + base.value("PATH"));
        base.insert("DPKG_ADMINDIR", Root.filePath("admin"));
        return base;
    }

    QString FilePath(const QString& name) const { return Root.filePath(name); }

private:
    static void Open(const QString& path, QFileDevice::Permission extra) {
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadOther | extra);
    }
    void Write(const QString& name, const QString& text) {
        QFile file(Root.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << name.toStdString();
        file.write(text.toUtf8());
        file.close();
        Open(file.fileName(), QFileDevice::ReadOther);
    }

    QTemporaryDir Root;
};
