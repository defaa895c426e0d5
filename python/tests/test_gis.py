"""The map formats through polvane.convert, read back with GDAL's Python bindings, against the
command line's files and polvane.read's frames of the same settings."""

import math

import pytest

import polvane
from conftest import ROOT, run_cli

ogr = pytest.importorskip("osgeo.ogr")
ogr.UseExceptions()

WITH_POSITION = [
    "drive-tarvik.tvf",
    "drive-tarvik-ext.tvf",
    "drive-selvor.svf",
    "drive-pelmor.pvf",
    "drive-kes-card.bin",
    "drive-kes-dump.kes",
]


def features(path):
    """The point layers' attribute names and their features as (values, (x, y) or None), in
    order (a KML has a folder per section besides its legend)."""
    ds = ogr.Open(str(path))
    names, rows = None, []
    for i in range(ds.GetLayerCount()):
        layer = ds.GetLayer(i)
        if layer.GetName() == "Legend":
            continue
        defn = layer.GetLayerDefn()
        names = [defn.GetFieldDefn(k).GetName() for k in range(defn.GetFieldCount())]
        for f in layer:
            g = f.GetGeometryRef()
            rows.append(([f.GetField(k) for k in range(len(names))], (g.GetX(), g.GetY()) if g else None))
    return names, rows


def is_null(cell):
    import pandas

    return cell is None or cell is pandas.NA or (isinstance(cell, float) and math.isnan(cell))


def same(a, b):
    if isinstance(a, float) or isinstance(b, float):
        return a is not None and b is not None and math.isclose(float(a), float(b), rel_tol=1e-9, abs_tol=1e-9)
    return a == b


@pytest.mark.parametrize("layout", ["wide", "long"])
@pytest.mark.parametrize("name", WITH_POSITION)
def test_a_geopackage_is_the_command_lines_and_holds_the_frames_rows(tmp_path, name, layout):
    log = ROOT / "samples" / name
    mine, theirs = tmp_path / "mine.gpkg", tmp_path / "theirs.gpkg"
    polvane.convert(log, mine, format="gpkg", layout=layout)
    run_cli("convert", "-q", log, theirs, "-f", "gpkg", "--layout", layout)
    names, rows = features(mine)
    assert (names, rows) == features(theirs)
    frame = polvane.read(log, layout=layout)
    # The frame's columns, then the record's time where the lines have one.
    assert names[: len(frame.columns)] == list(frame.columns)
    assert names[len(frame.columns) :] in ([], ["Timestamp"])
    assert len(rows) == len(frame)
    for (values, _), (_, row) in zip(rows, frame.iterrows()):
        for value, cell in zip(values, row):
            assert (value is None) == is_null(cell), (value, cell)
            if value is not None:
                assert same(value, cell), (value, cell)


def test_every_map_format_and_its_options(tmp_path):
    log = ROOT / "samples" / "drive-tarvik.tvf"
    for fmt, ext in (("geojson", "geojson"), ("ESRI Shapefile", "shp"), ("kml", "kml"), (16, "shp")):
        out = tmp_path / f"d.{ext}"
        polvane.convert(log, out, format=fmt)
        # The three lines before the first fix have no point to place in a KML.
        assert len(features(out)[1]) == (33 if ext == "kml" else 36), fmt
    # The KML's bands: the thresholds as a list, the points coloured by a column of the long
    # layout.
    out = tmp_path / "bands.kml"
    polvane.convert(log, out, format="kml", layout="long", color_thresholds=[-60, -75], color_column="RSSI")
    kml = out.read_text(encoding="utf-8")
    assert "-60 to -75 dBm (RSSI)" in kml
    assert '<Style id="band3">' not in kml


def test_bad_map_settings_are_value_errors(tmp_path):
    log = ROOT / "samples" / "drive-tarvik.tvf"
    out = tmp_path / "d.kml"
    with pytest.raises(ValueError, match="Rec#9 RSSI"):
        polvane.convert(log, out, format="kml", color_column="Rec#9 RSSI")
    with pytest.raises(ValueError, match="color-thresholds"):
        polvane.convert(log, out, format="kml", color_thresholds="-70,x")
    with pytest.raises(ValueError, match="layout"):
        polvane.convert(log, tmp_path / "d.gpkg", format="gpkg", layout="tall")
    with pytest.raises(ValueError, match="no position"):
        polvane.convert(ROOT / "samples" / "drive-drovel.dvf", tmp_path / "d.gpkg", format="gpkg")
    # read gives lines, not a map.
    with pytest.raises(ValueError, match="map format"):
        polvane.read(log, format="gpkg")
    assert list(tmp_path.iterdir()) == []
