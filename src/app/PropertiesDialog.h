#pragma once
// The file's properties when no file manager shows them: path, type, size, dates,
// attribute letters, permissions and owner.

#include "LocaleSettings.h"

#include <QDialog>
#include <string>

namespace vintrel {

class PropertiesDialog : public QDialog {
    Q_OBJECT
  public:
    PropertiesDialog(const std::string& path, const LocaleSettings& locale,
                     QWidget* parent = nullptr);

    // The rows shown, caption and value, for tests.
    QList<QPair<QString, QString>> facts() const { return facts_; }

  private:
    QList<QPair<QString, QString>> facts_;
};

} // namespace vintrel
