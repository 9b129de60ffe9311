#pragma once

// The tests that run a script: what it left running, and a stand-in for the editor.

#include "support/Process.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>
#include <functional>
#include <gtest/gtest.h>

inline const QString Scripts = VARNOTEL_SOURCE_DIR "/scripts/";

// Runs a script with a mark in its environment that every process it starts inherits, so that
// whatever it leaves running can be found afterwards.
class ScriptRun : public ::testing::Test {
protected:
    TRun Run(const QString& program, const QStringList& args,
             QProcessEnvironment env = QProcessEnvironment::systemEnvironment(),
             const std::function<void(QProcess&)>& during = {}, int finishMs = 180000) {
        env.insert("VARNOTEL_TEST_MARK", Mark);
        return RunProgram(program, args, env, during, finishMs);
    }

    void ExpectNothingLeftRunning() const {
        const QStringList left = LeftRunning();
        EXPECT_TRUE(left.isEmpty()) << "left running:\n" << left.join('\n').toStdString();
    }

    // The command lines of the living processes that carry this test's mark.
    QStringList LeftRunning() const {
        QStringList left;
        const QByteArray mark = "VARNOTEL_TEST_MARK=" + Mark.toUtf8();
        for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
            QFile environ("/proc/" + pid + "/environ");
            if (!pid.toInt() || !environ.open(QIODevice::ReadOnly))
                continue;
            if (!environ.readAll().split('\0').contains(mark))
                continue;
            QFile cmdline("/proc/" + pid + "/cmdline");
            cmdline.open(QIODevice::ReadOnly);
            left << pid + ": " + QString::fromLocal8Bit(cmdline.readAll().replace('\0', ' '));
        }
        return left;
    }

    // An executable script in the build folder standing in for the editor.
    void FakeEditor(const QString& body) {
        QFile file(Build.filePath("varnotel"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body.toUtf8() + "\n");
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    }

    QTemporaryDir Build;
    const QString Mark = QUuid::createUuid().toString(QUuid::WithoutBraces);
};
