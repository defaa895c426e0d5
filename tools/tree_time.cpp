// Times the window showing the section tree of a log: the file is chosen in a main window (off
// screen unless a display is asked for), indexed as the window does, and the tree painted.
// Prints one line: the sections, the milliseconds from choosing the file to the painted tree,
// and the milliseconds of those spent on the GUI thread bringing the tree view up to date.
//
//   polvane_tree_time LOG
#include <QApplication>
#include <QElapsedTimer>
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "ui/index_tree.h"
#include "ui/main_window.h"

namespace {

using namespace polvane;

class QuietHost : public QtHost {
 protected:
  void MessageBox(int type, const QString& text) override {
    std::fprintf(stderr, "%s: %s\n", MessageCaption(type), qPrintable(text));
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: polvane_tree_time LOG\n", stderr);
    return 2;
  }
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  MainWindow window(std::make_unique<QuietHost>());
  window.show();
  QApplication::processEvents();

  TMainForm& form = window.Form();
  // The time the view takes to follow the tree (each change of the tree, on the GUI thread).
  qint64 viewMs = 0;
  const auto follow = form.tvIndex.Changed;
  form.tvIndex.Changed = [&] {
    QElapsedTimer t;
    t.start();
    if (follow) follow();
    viewMs += t.elapsed();
  };

  QElapsedTimer shown;
  shown.start();
  window.ChooseInputFile(QString::fromLocal8Bit(argv[1]));
  form.WaitForIndexing();
  IndexTree* tree = window.Tree();
  tree->viewport()->repaint();
  QApplication::processEvents();
  const qint64 totalMs = shown.elapsed();

  std::size_t sections = 0;
  for (const auto& root : form.tvIndex.Roots()) sections += root->Children.size();
  int rows = 0;
  for (int r = 0; r < tree->Model()->rowCount(); ++r)
    rows += tree->Model()->rowCount(tree->Root(r));
  if (rows != static_cast<int>(sections)) {
    std::fprintf(stderr, "polvane_tree_time: the view shows %d of %zu sections\n", rows, sections);
    return 1;
  }
  std::printf("%zu sections shown in %lld ms (the view's part %lld ms)\n", sections,
              static_cast<long long>(totalMs), static_cast<long long>(viewMs));
  return 0;
}
