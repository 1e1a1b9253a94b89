// The messages of the information boxes, in their stored form: show them
// through UnscrambleMessage. tools/scramble_message.py makes stored forms.
#pragma once

namespace corvantis {

// The updater "自动升级.exe" is not beside Corvantis.
extern const char16_t kUpdaterMissingMessage[];
// "QQGame.exe" is not beside Corvantis.
extern const char16_t kClientMissingMessage[];
// The auto-refresh period is not a number of seconds from 0 to 86400.
extern const char16_t kBadPeriodMessage[];

}  // namespace corvantis
