#pragma once

#include <QObject>

/// The settings window's view on a real store, updater, preferences file and keyring.
class SettingsViewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cancelLeavesPreferencesKeyringAndStoreUntouched();
    void doneStoresTheCopyRestartsTheUpdaterAndLoads();
    void doneNeverWritesBackATokenItDidNotReadNorValuesChangedOutside();
    void doneKeepsTheEditsAndSaysWhyWhenTheDiskRefuses();
    void connectionTestUsesTheTypedValues();
    void updatesSectionChecksTheTypedFeedAndShowsTheOutcome();
    void snippetsNameTheExecutableUnquotedAndCopyOneAtATime();
    void launchAtLoginActsAtOnceAndFlipsBackOnFailure();
    void keyboardReachesEveryControlAndScreenReadersCanNameIt();
};

/// Run inside a keyring that never answers: "Done" keeps the window open and responsive.
class KeyringRefusalTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void doneKeepsTheWindowOpenAndSaysTheTokenWasNotStored();
};
