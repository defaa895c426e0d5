// The preview, the drive map and the signal chart: the preview is the first lines of the
// conversion; points of known positions land at their pixels in the
// colours of their bands, the wheel zooms about the mouse, the window feeds the views from a
// conversion of the chosen file with its settings, and the two cursors go together.
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QListWidget>
#include <QProcess>
#include <QTableWidget>
#include <QWheelEvent>
#include <QtTest>
#include <cmath>
#include <filesystem>

#include "support/bytes.h"
#include "ui/drive_map.h"
#include "ui/index_tree.h"
#include "ui/signal_chart.h"
#include "ui/views_pane.h"
#include "ui_support.h"

namespace polvane::testing {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Web Mercator as the map projects, worked out here on its own: the pixel of a position for a
// view centred on (lat0, lon0) at `metres` per pixel, in a widget of `size`.
QPointF Expected(double lat, double lon, double lat0, double lon0, double metres, QSize size) {
  const double world = 2 * kPi * 6378137.0 * std::cos(lat0 * kPi / 180) / metres;
  auto x = [&](double l) { return (l + 180) / 360 * world; };
  auto y = [&](double p) {
    const double r = p * kPi / 180;
    return (1 - std::log(std::tan(r) + 1 / std::cos(r)) / kPi) / 2 * world;
  };
  return {x(lon) - x(lon0) + size.width() / 2.0, y(lat) - y(lat0) + size.height() / 2.0};
}

DriveLine At(double lat, double lon, float level, std::uint32_t section, std::uint32_t line) {
  DriveLine l;
  l.HasPosition = true;
  l.Latitude = lat;
  l.Longitude = lon;
  l.HasTime = true;
  l.Seconds = 36000 + line;
  l.Section = section;
  l.Line = line;
  l.Strongest = level;
  l.Levels[0] = level;
  return l;
}

QColor PixelAt(QWidget& w, QPointF at) {
  const QImage image = w.grab().toImage();
  return image.pixelColor(static_cast<int>(std::floor(at.x())),
                          static_cast<int>(std::floor(at.y())));
}

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

}  // namespace

class DriveViewsTest : public QObject {
  Q_OBJECT

 private slots:
  void pointsLandAtTheirPixelsInTheirBandColours() {
    constexpr double kMetres = 4.0;
    DriveMap map;
    map.resize(400, 300);
    auto track = std::make_shared<DriveTrack>();
    // One point in each band of the drive-test colours, one without a level.
    const double lat0 = 52.0, lon0 = 4.0;
    track->Lines = {At(lat0, lon0, -60, 1, 1), At(lat0 + 0.002, lon0 + 0.003, -80, 1, 2),
                    At(lat0 - 0.002, lon0 + 0.004, -95, 2, 3),
                    At(lat0 + 0.001, lon0 - 0.005, -110, 2, 4)};
    DriveLine none = At(lat0 - 0.003, lon0 - 0.002, NAN, 2, 5);
    none.Levels[0] = NAN;
    track->Lines.push_back(none);
    track->Receivers[0] = true;
    map.SetTrack(track);
    map.SetView(lat0, lon0, kMetres);
    map.show();
    // The legend sits in the top right corner, the scale bar bottom left: the points lie clear.
    const QColor want[] = {QColor(0, 255, 0), QColor(255, 255, 0), QColor(255, 128, 0),
                           QColor(255, 0, 0), QColor(144, 144, 144)};
    for (std::size_t i = 0; i < track->Lines.size(); ++i) {
      const DriveLine& l = track->Lines[i];
      const QPointF at = Expected(l.Latitude, l.Longitude, lat0, lon0, kMetres, map.size());
      QVERIFY(QRectF(map.rect()).contains(at));
      QVERIFY(std::fabs(map.ToPixel(l.Latitude, l.Longitude).x() - at.x()) < 0.5);
      QVERIFY(std::fabs(map.ToPixel(l.Latitude, l.Longitude).y() - at.y()) < 0.5);
      QCOMPARE(PixelAt(map, at), want[i]);
      QCOMPARE(map.LineAt(at + QPointF(2, 1)), static_cast<int>(i));
    }
    QCOMPARE(PixelAt(map, {200, 150}), QColor(0, 255, 0));
    // Between the points: the plain background, no tiles.
    QCOMPARE(PixelAt(map, Expected(lat0 - 0.0015, lon0 + 0.0015, lat0, lon0, kMetres, map.size())),
             QColor(246, 246, 240));

    // Sections left out are faded; other thresholds give other bands.
    map.SetLeftOut({1});
    QVERIFY(PixelAt(map, {200, 150}) != QColor(0, 255, 0));
    map.SetLeftOut({});
    SignalColors two;
    QVERIFY(SignalColors::Parse("-90,-65", two));
    map.SetColors(two);
    const QPointF yellow = Expected(lat0 + 0.002, lon0 + 0.003, lat0, lon0, kMetres, map.size());
    const Rgb middle = two.Color(1);
    QCOMPARE(PixelAt(map, yellow), QColor(middle.Red, middle.Green, middle.Blue));
  }

  void theWheelZoomsAboutTheMouse() {
    DriveMap map;
    map.resize(400, 300);
    auto track = std::make_shared<DriveTrack>();
    track->Lines = {At(10, 20, -60, 1, 1), At(10.001, 20.001, -60, 1, 2)};
    map.SetTrack(track);
    map.SetView(10, 20, 1.0);
    const QPointF under = map.ToPixel(10.001, 20.001);
    const QPointF other = map.ToPixel(10, 20);
    QWheelEvent wheel(under, map.mapToGlobal(under), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&map, &wheel);
    const QPointF after = map.ToPixel(10.001, 20.001);
    QVERIFY(std::fabs(after.x() - under.x()) < 1e-6 && std::fabs(after.y() - under.y()) < 1e-6);
    QVERIFY(std::fabs(map.MetresPerPixel() - 0.8) < 1e-3);
    const QPointF moved = map.ToPixel(10, 20);
    QVERIFY(std::fabs((moved - under).x() - (other - under).x() * 1.25) < 1e-6);
    // A drag pans: the drive follows the mouse.
    QTest::mousePress(&map, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(&map, QPoint(130, 90));
    QTest::mouseRelease(&map, Qt::LeftButton, {}, QPoint(130, 90));
    const QPointF panned = map.ToPixel(10, 20);
    QVERIFY(std::fabs(panned.x() - moved.x() - 30) < 1e-6);
    QVERIFY(std::fabs(panned.y() - moved.y() + 10) < 1e-6);
  }

  void theChartPlotsEachReceiverAgainstTime() {
    SignalChart chart;
    chart.resize(400, 240);
    auto track = std::make_shared<DriveTrack>();
    for (std::uint32_t i = 1; i <= 10; ++i) {
      DriveLine l = At(0, 0, -60 - float(i), 1, i);
      l.Levels[1] = -100 + float(i);
      track->Lines.push_back(l);
    }
    track->Receivers = {true, true, false, false};
    chart.SetTrack(track);
    chart.show();
    // The first line at the left edge, the last at the right; levels top down.
    const QPointF first = chart.ToPixel(chart.XOf(track->Lines.front()), -61);
    const QPointF last = chart.ToPixel(chart.XOf(track->Lines.back()), -70);
    QCOMPARE(std::lround(first.x()), long(chart.PlotArea().left()));
    QCOMPARE(std::lround(last.x()), long(chart.PlotArea().right()));
    QVERIFY(first.y() < last.y());
    const QImage image = chart.grab().toImage();
    auto near = [&](QPointF at, QColor c) {
      for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy) {
          const QColor p = image.pixelColor(int(at.x()) + dx, int(at.y()) + dy);
          if (std::abs(p.red() - c.red()) < 60 && std::abs(p.green() - c.green()) < 60 &&
              std::abs(p.blue() - c.blue()) < 60 && p != chart.palette().base().color())
            return true;
        }
      return false;
    };
    const DriveLine& mid = track->Lines[4];
    QVERIFY(near(chart.ToPixel(chart.XOf(mid), mid.Levels[0]), SignalChart::ReceiverColor(1)));
    QVERIFY(near(chart.ToPixel(chart.XOf(mid), mid.Levels[1]), SignalChart::ReceiverColor(2)));
  }

  void theWindowFeedsTheViewsFromItsSettings() {
    Window w;
    w.host->OpenAnswers.push_back(SamplePath());
    w.Button("InBrowse")->click();
    QVERIFY(QTest::qWaitFor([&] { return !w.form().Indexing(); }));
    // Latitude, longitude and the data group, selected as a user would.
    for (const char* title :
         {"Latitude (Decimal Degrees)", "Longitude (Decimal Degrees)", "<< DATA >>"}) {
      auto* list = w.Get<QListWidget>("AvailableBox");
      const auto found = list->findItems(QString::fromLatin1(title), Qt::MatchExactly);
      QVERIFY(!found.isEmpty());
      list->setCurrentItem(found.first());
      w.Button("SelectField")->click();
    }
    ViewsPane* views = w.window->Views();
    QVERIFY(QTest::qWaitFor([&] { return !views->Busy(); }, 20000));
    const DriveTrack* track = views->Map()->Track();
    QVERIFY(track && !track->Lines.empty());
    QCOMPARE(views->Chart()->Track(), track);

    ScratchDir dir;
    const std::string out = dir.File("cli.csv");
    QCOMPARE(QProcess::execute(POLVANE_CLI,
                               {"convert", Q(SamplePath()), Q(out), "--fields", "5,11,0", "-q"}),
             0);
    QStringList lines = Q(ReadFile(out)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    // The titles line is not a line of the drive.
    if (!lines.isEmpty() && lines.front().startsWith(QLatin1Char('"'))) lines.removeFirst();
    QCOMPARE(static_cast<qsizetype>(track->Lines.size()), lines.size());
    int placed = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
      const QStringList cells = lines[i].split(QLatin1Char(','));
      const DriveLine& l = track->Lines[static_cast<std::size_t>(i)];
      if (!l.HasPosition) continue;
      ++placed;
      QVERIFY(std::fabs(cells[0].toDouble() - l.Latitude) < 1e-4);
      QVERIFY(std::fabs(cells[1].toDouble() - l.Longitude) < 1e-4);
    }
    QVERIFY(placed > 0);

    // A point hovered on the map is the chart's cursor, and the other way round.
    emit views->Map()->lineHovered(3);
    QCOMPARE(views->Chart()->Cursor(), 3);
    emit views->Chart()->lineHovered(5);
    QCOMPARE(views->Map()->Cursor(), 5);
  }
  void thePreviewIsTheFirstLinesTheConversionWrites() {
    Window w;
    w.host->OpenAnswers.push_back(SamplePath());
    w.Button("InBrowse")->click();
    QVERIFY(QTest::qWaitFor([&] { return !w.form().Indexing(); }));
    for (const char* title :
         {"Latitude (Decimal Degrees)", "<< DATA >>", "Longitude (Decimal Degrees)"}) {
      auto* list = w.Get<QListWidget>("AvailableBox");
      const auto found = list->findItems(QString::fromLatin1(title), Qt::MatchExactly);
      QVERIFY(!found.isEmpty());
      list->setCurrentItem(found.first());
      w.Button("SelectField")->click();
    }
    w.Button("DelimiterGroup_2")->click();  // Tab
    w.Button("BSAvg")->click();
    // Leave out the first scan section: the preview leaves it out too.
    IndexTree* tree = w.window->Tree();
    const QModelIndex section = tree->Section(0, 0);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(section).center());
    int ordinal = 0;
    for (const auto& [k, node] : SectionList(w.form()))
      if (tree->NodeOf(section) && node.Ordinal == tree->NodeOf(section)->Ordinal) ordinal = k;
    QVERIFY(ordinal > 0);
    ViewsPane* views = w.window->Views();
    QVERIFY(QTest::qWaitFor([&] { return !views->Busy(); }, 20000));
    QTableWidget* table = views->Preview();

    ScratchDir dir;
    const std::string out = dir.File("cli.txt");
    QCOMPARE(QProcess::execute(POLVANE_CLI, {"convert", Q(SamplePath()), Q(out), "--fields",
                                             "5,0,11", "-d", "tab", "--best-server", "--header",
                                             "--deselect", QString::number(ordinal), "-q"}),
             0);
    QStringList lines = Q(ReadFile(out)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QVERIFY(lines.size() > 1);
    // The titles line is the table's header.
    const QStringList titles = lines.takeFirst().split(QLatin1Char('\t'));
    QVERIFY(table->columnCount() >= titles.size());
    for (int c = 0; c < titles.size(); ++c) {
      QString t = titles[c];
      t.remove(QLatin1Char('"'));
      QCOMPARE(table->horizontalHeaderItem(c)->text(), t);
    }
    const int expected = static_cast<int>(std::min<qsizetype>(lines.size(), 200));
    QCOMPARE(table->rowCount(), expected);
    for (int r = 0; r < expected; ++r) {
      QStringList cells;
      for (int c = 0; c < table->columnCount(); ++c)
        if (QTableWidgetItem* item = table->item(r, c)) cells << item->text();
      QCOMPARE(cells.join(QLatin1Char('\t')), lines[r]);
    }

    // A change of the settings is previewed again.
    w.Button("ChannelField")->click();  // a channel column beside each frequency
    QVERIFY(QTest::qWaitFor([&] { return !views->Busy(); }, 20000));
    QVERIFY(table->columnCount() > titles.size());
  }
  // A fixed layout is previewed as the start of its file: a text layout a line to a row, a
  // layout of binary records as rows of 16 bytes in hex; neither leaves a file beside the log.
  void aFixedLayoutIsPreviewedAsTheStartOfItsFile() {
    ScratchDir dir;
    const std::string log = dir.File("drive.tvf");
    std::filesystem::copy_file(SamplePath(), log);
    Window w;
    w.host->OpenAnswers.push_back(log);
    w.Button("InBrowse")->click();
    QVERIFY(QTest::qWaitFor([&] { return !w.form().Indexing(); }));
    ViewsPane* views = w.window->Views();
    QTableWidget* table = views->Preview();
    auto* formats = w.Get<QComboBox>("OutputFormatGroup");
    const auto choose = [&](const char* name) {
      const int index = formats->findText(QString::fromLatin1(name));
      QVERIFY(index >= 0);
      formats->setCurrentIndex(index);
      emit formats->activated(index);
    };
    const auto cli = [&](const char* format, const std::string& out) {
      return QProcess::execute(POLVANE_CLI, {"convert", Q(log), Q(out), "-f", format, "-q"});
    };

    choose("MSI Planet");
    QVERIFY(w.form().FixedLayout);
    QVERIFY(QTest::qWaitFor([&] { return !views->Busy(); }, 20000));
    const std::string planet = dir.File("planet.txt");
    QCOMPARE(cli("7", planet), 0);
    QStringList lines = Q(ReadFile(planet)).split(QStringLiteral("\r\n"));
    QVERIFY(lines.size() > 3);
    QCOMPARE(table->columnCount(), 1);
    QVERIFY(table->rowCount() > 2);
    QVERIFY(table->rowCount() <= 200);
    for (int r = 0; r < table->rowCount(); ++r) QCOMPARE(table->item(r, 0)->text(), lines[r]);

    choose("MLJ PathPro");
    QVERIFY(QTest::qWaitFor([&] { return !views->Busy(); }, 20000));
    const std::string pathpro = dir.File("pathpro.m01");
    QCOMPARE(cli("6", pathpro), 0);
    const std::string bytes = ReadFile(pathpro);
    QVERIFY(bytes.size() > 32);
    QCOMPARE(table->columnCount(), 3);
    QCOMPARE(table->horizontalHeaderItem(0)->text(), QStringLiteral("Offset"));
    const int rows = table->rowCount();
    QCOMPARE(rows, static_cast<int>(std::min<std::size_t>((bytes.size() + 15) / 16, 200)));
    for (int r = 0; r < rows; ++r) {
      QStringList hex;
      const std::size_t from = static_cast<std::size_t>(r) * 16;
      for (std::size_t i = from; i < std::min(bytes.size(), from + 16); ++i)
        hex << QStringLiteral("%1")
                   .arg(static_cast<unsigned char>(bytes[i]), 2, 16, QLatin1Char('0'))
                   .toUpper();
      QCOMPARE(table->item(r, 0)->text(),
               QStringLiteral("%1").arg(r * 16, 8, 16, QLatin1Char('0')).toUpper());
      QCOMPARE(table->item(r, 1)->text(), hex.join(QLatin1Char(' ')));
    }

    // Only the log and the command line's outputs are in the folder.
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
      const std::string name = e.path().filename().string();
      QVERIFY2(name == "drive.tvf" || name.rfind("planet", 0) == 0 ||
                   name.rfind("pathpro", 0) == 0 || name.rfind("MLJ", 0) == 0,
               name.c_str());
      ++files;
    }
    QVERIFY(files >= 3);
  }
};

std::unique_ptr<QObject> NewDriveViewsTest() {
  return std::make_unique<DriveViewsTest>();
}

}  // namespace polvane::testing

#include "drive_views_test.moc"
