#pragma once

#include <QString>

// The application's own folder, $XDG_DATA_HOME/Talvo, holding history.jsonl,
// dictionary.json and talvo.log. Computed once (creating the folder, mode 0700) and
// replaceable, so that tests never touch the user's real folder.
namespace talvo::AppPaths {

QString support();
void setSupport(const QString& replacement);

}  // namespace talvo::AppPaths
