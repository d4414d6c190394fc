// Shapes: a tiny class hierarchy.
#include <cmath>
#include <string>

namespace shapes {

class Shape {
 public:
  virtual ~Shape() = default;
  virtual double Area() const = 0;  // in square units
};

class Circle : public Shape {
 public:
  explicit Circle(double r) : r_(r) {}
  double Area() const override { return M_PI * r_ * r_; }

 private:
  double r_;  /* radius */
};

/* A URL in a string is not a comment: */
const std::string kHome = "https://example.org/shapes";

}  // namespace shapes
