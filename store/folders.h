// Where the program finds its voice cues, key pictures and help page, and where it keeps
// tapes: beside the program (build tree, portable copy) or in the installed layout.
#pragma once

#include <QString>

namespace tapecalc {

struct Folders {
    QString sound;    // the voice cues (WAV)
    QString pictures; // the pressed and released key pictures (JPEG)
    QString help;     // holds index.html
    QString data;     // the tapes
};

// sharedFolder: the installed data folder (cues, pictures, help); userData: the per-user
// folder for tapes when none can be kept beside the program. The folder beside the program
// for tapes is made here when it is to be used.
Folders findFolders(const QString &programFolder, const QString &sharedFolder,
                    const QString &userData);

// The same, with the installed data folder placed relative to the program folder as the
// build installs it, and the per-user data location of this application.
Folders findFolders(const QString &programFolder);

} // namespace tapecalc
