#pragma once
// The locale settings of the text forms, taken from Qt's locale data.

#include "LocaleSettings.h"

class QLocale;

namespace vintrel {

LocaleSettings LocaleSettingsFrom(const QLocale& locale);
LocaleSettings SystemLocaleSettings();

} // namespace vintrel
