#pragma once
// An indicator lamp: pure green when on, pure red when off; it never blinks.

#include <QWidget>

namespace vintrel {

class Lamp : public QWidget {
    Q_OBJECT
  public:
    explicit Lamp(QWidget* parent = nullptr);

    bool status() const { return status_; }
    void setStatus(bool on);
    // Said by screen readers with the state, e.g. "on".
    void setStateNames(const QString& on, const QString& off);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool status_ = false;
    QString onText_ = QStringLiteral("on"), offText_ = QStringLiteral("off");
};

} // namespace vintrel
