// The messages of the information boxes, in their stored form: show them
// through UnscrambleMessage. tools/scramble_message.py makes stored forms.
#pragma once

namespace corvantis {

// The title of every information box the panel shows.
inline constexpr char16_t kBoxTitle[] = u"系统提示";

// The updater "自动升级.exe" is not beside Corvantis.
extern const char16_t kUpdaterMissingMessage[];
// "QQGame.exe" is not beside Corvantis.
extern const char16_t kClientMissingMessage[];
// The auto-refresh period is not a number of seconds from 0 to 86400.
extern const char16_t kBadPeriodMessage[];
// The client runs as administrator, so Corvantis must be started so too.
extern const char16_t kElevatedClientMessage[];
// Corvantis cannot start its guard, so the windows it hides would stay
// hidden until its next start if it were ended from outside.
extern const char16_t kNoGuardMessage[];
// An earlier Corvantis did not answer: the windows it hid were shown, and
// it should be ended in the Task Manager.
extern const char16_t kUnansweringPanelMessage[];

}  // namespace corvantis
