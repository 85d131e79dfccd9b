#pragma once

#include <QWidget>

namespace rotavox {

// A drawn picture of how the two filters are routed, parallel or serial; a click on it asks
// for the other routing. Screen readers see a button whose value is the routing it shows.
class RoutingPicture : public QWidget {
  Q_OBJECT
 public:
  enum class Routing { Parallel, Serial };
  RoutingPicture(Routing routing, QWidget* parent);

  Routing routing() const { return routing_; }
  // "parallel" or "serial".
  QString routingText() const;
  // Asks for the other routing as a click does; the focus follows to the picture shown then.
  void press();

  // 100 x 41 pixels.
  static constexpr int kWidth = 100;
  static constexpr int kHeight = 41;

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // Space or Enter switch the routing as a click does.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  Routing routing_;
};

}  // namespace rotavox
