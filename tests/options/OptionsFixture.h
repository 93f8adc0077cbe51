#pragma once

#include "options/OptionsEditor.h"
#include "platform/ProgramPaths.h"
#include "state/Settings.h"
#include "support/ScriptedPrompt.h"
#include "support/TempHome.h"

#include <QDir>

#include <gtest/gtest.h>

#include <optional>

// Settings of a user "anna" (so that the shared and the user's file differ),
// two character folders, and hooks that record what the dialog did.
class OptionsFixture : public ::testing::Test {
protected:
    OptionsFixture() {
        paths = gabblet::ProgramPaths(home.path()).withUser(QStringLiteral("anna/"));
        s.SharedFile = paths.file(QStringLiteral("gabblet.ini"));
        s.UserFile = paths.userFile(QStringLiteral("gabblet.ini"));
        home.write("agents/Bramble.acs", "");
        home.write("agents/Merlin.acs", "");
        home.write("office/Genie.act", "");
        home.write("empty/readme.txt", "");
        QDir().mkpath(home.file("anna")); // made at start-up
        s.MyName = "Anna";
        s.UseAgent = true;
        s.CharPath = home.file("agents/");
        s.DefaultChar = "merlin";
        s.Port = 12345;
        s.CheckEmail = true;
        hooks.pauseCheckTimer = [this] { ++pauses; };
        hooks.restoreCheckTimer = [this](std::optional<bool> r) { restored.push_back(r); };
        hooks.characterListChanged = [this](const QStringList& l) { mainLists << l; };
        hooks.closePeerSockets = [this] { ++socketCloses; };
        hooks.selectFirstCharacter = [this] { ++firstChosen; };
    }
    QStringList mainList() const { return {"Bramble", "Merlin", "[None]"}; }
    QByteArray userFile() const { return home.read("anna/gabblet.ini"); }
    QByteArray sharedFile() const { return home.read("gabblet.ini"); }

    gabblet::test::TempHome home;
    gabblet::test::ScriptedPrompt prompt;
    gabblet::ProgramPaths paths;
    gabblet::Settings s;
    gabblet::OptionsHooks hooks;
    int pauses = 0;
    int socketCloses = 0;
    int firstChosen = 0;
    std::vector<std::optional<bool>> restored;
    QList<QStringList> mainLists;
};
