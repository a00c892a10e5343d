#pragma once

#include "app/ModelProfile.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// What the user asked for on the command line.
struct CommandLine
{
    ModelSwitches switches;
    QStringList comOverrides; // "N=PATH"
    bool exitNow = false; // --help or --version was answered
    int exitCode = 0;
    QString message; // text to print before exiting

    static CommandLine parse(const QStringList &arguments);
};
