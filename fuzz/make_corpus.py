#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

The seeds are small, deterministic and made here from the formats the
library reads; run again after changing a format or the band path grammar
of fuzz_band_path.cpp.
"""
import pathlib
import struct

ROOT = pathlib.Path(__file__).resolve().parent / "corpus"


def write(target, name, data):
    directory = ROOT / target
    directory.mkdir(parents=True, exist_ok=True)
    if isinstance(data, str):
        data = data.encode()
    (directory / name).write_bytes(data)


# ---- calibration archive -------------------------------------------------------

def member(name, content, size=None):
    data = content
    if len(name) > 15:
        field = "#1/%d" % len(name)
        data = name.encode() + content
    else:
        field = name
    size = len(content) if size is None else size
    header = (field.ljust(15) + "1700000000".ljust(12) + "0".ljust(6) + "0".ljust(6) +
              "10644".ljust(8) + str(size).ljust(10)).encode() + b"`\n"
    assert len(header) == 59
    return header + data + (b"\n" if len(data) % 2 else b"")


def archives():
    sig = b"!<arch>"
    write("archive", "empty", sig)
    write("archive", "two_members",
          sig + member("printer.HC1", b"HC1 data") + member("printer.CA1", b"odd"))
    write("archive", "long_name",
          sig + member("calibration-table.BZ1", b"\x00\x01\x02\x03"))
    write("archive", "escaping_names",
          sig + member("../up.CA1", b"x") + member("/tmp/abs.CA1", b"y") +
          member("a/b.CA1", b"z") + member("..", b"") +
          member("/tmp/tavik-fuzz-long-absolute.HC1", b"w"))
    write("archive", "cut_short", sig + member("printer.HC1", b"0123456789")[:70])
    write("archive", "bad_size", sig + member("printer.HC1", b"abc", size=99999999))
    write("archive", "long_name_bad_length", sig + b"#1/-5".ljust(15) + b" " * 42 + b"`\n")


# ---- parameter resource ----------------------------------------------------------

def resources():
    write("resource", "elements_and_modes", """{"pid": {"version": 1,
  "elements": {"QXIDS32_HTM_PRINTMODE_INDEX": 1, "QXIDS32_H_SUPPORT_INTENT": [0, 1, 2],
               "QXIDSTR_J_DOC_NAME": "doc", "QXIDU08_H_EEC_CALIB_DATA": [1, 2, 255],
               "QXIDBOL_PRT_BI_DIRECTION": true, "QXIDS32_PRT_RES_X": 1440.7},
  "perpmi": {"0": {"QXIDS32_PRT_RES_X": 360}, "1": {"QXIDS32_PRT_RES_Y": [720, 1440]},
             " -2": null, "7x": {}}}}""")
    write("resource", "wrong_types", """{"pid": {"version": "1",
  "elements": {"QXIDS32_PRT_RES_X": "360", "QXIDBOL_PRT_BI_DIRECTION": 1,
               "QXIDS32_PRT_RES_Y": {"a": 1}, "UNKNOWN_ID": 5},
  "perpmi": {"99999999999": {"QXIDS32_PRT_RES_X": 1}}}}""")
    write("resource", "not_an_object", "[1, 2, {\"pid\": 3}]")
    write("resource", "huge_numbers", """{"pid": {"version": 1e400,
  "elements": {"QXIDS32_PRT_RES_X": 1e300, "QXIDS32_PRT_RES_Y": -18446744073709551617,
               "QXIDU08_H_EEC_CALIB_DATA": [-1, 256, 3.9]}}}""")


# ---- configuration file -----------------------------------------------------------

def inis():
    write("ini", "reference", "; comment\nDV_MOD_HMM = dorva_ref.so\nTV_RSC = params.json\n"
          "DV_MOD_ISV = /opt/isv\n")
    write("ini", "sections_crlf", "[general]\r\nDV_MOD_HT=ht.so\r\n// note\r\n[other]\r\n"
          "DV_MOD_MW = mw.so  \r\nDV_MOD_BRS=\r\n=x\r\nDV_MOD_ECALIB==e\r\n")
    write("ini", "odd_lines", "DV_MOD_HMM\n[unclosed\n  ;x=y\nTV_RSC = a = b\n\x00DV_MOD_RSC=z\n")


# ---- media control document -----------------------------------------------------------

def media(name, xml, pmi):
    # The target reads a flag and the index from the end of the input.
    write("media_control", name, xml.encode() + bytes([(pmi + 2) % 15, 1]))


def medias():
    doc = ('<?xml version="1.0"?><Model><MediaInfo>{}</MediaInfo></Model>')
    mode = ("<ModeInfo><Resolution><H>{}</H><V>{}</V></Resolution><PMI>{}</PMI>"
            "<Intent>{}</Intent><DrvHTType>{}</DrvHTType></ModeInfo>")
    media("match", doc.format('<PrinterMediaID>12</PrinterMediaID>'
                              '<WinDrvMediaID region="JP">7</WinDrvMediaID>'
                              '<WinDrvMediaID region="WW">5</WinDrvMediaID>' +
                              mode.format(1440, 720, 10, "0,4", 3)), 10)
    media("no_printer_id", doc.format(mode.format(360, 360, 3, "11", 5)), 3)
    media("bad_number", doc.format('<PrinterMediaID>x12</PrinterMediaID>' +
                                   mode.format(1440, 1440, 4, "2 5", 99999999999)), 4)
    media("not_xml", "<Model><MediaInfo><ModeInfo>", 0)


# ---- page and band path ---------------------------------------------------------

EDGES = [-2**31, -2**31 + 1, -65536, -4096, -256, -65, -64, -63, -2, -1, 0, 1, 2, 3, 4, 11,
         63, 64, 65, 127, 128, 129, 255, 256, 360, 720, 1000, 1440, 4095, 4096, 4097, 32767,
         32768, 46341, 65535, 65536, 1 << 20, 1 << 24, 0x3FFFFFFF, 0x40000000, 0x40000001,
         2**31 - 1 - 64, 2**31 - 1 - 63, 2**31 - 2, 2**31 - 1]

DATA_TYPES = {1: 0, 2: 1, 3: 2, -1: 3, -2: 4, -3: 5, 0: 6}
OPS = {"StartJob": 0, "EndJob": 1, "StartPage": 2, "EndPage": 3, "BandOut2": 4, "BandOut": 6,
       "SetValue": 7, "Status": 8, "Spool": 9, "GetValue": 10, "Dumps": 11}
SETTABLE = ["PRT_RES_X", "PRT_RES_Y", "SRC_RES_X", "SRC_RES_Y", "MIN_PAPER_LENGTH",
            "SUPPORT_INTENT", "PRINTMODE_INDEX", "HALFTONE_TYPE", "MEDIA_TYPE",
            "MEDIA_TYPE_CONVERT_TABLE", "CUT_MODE", "T4_MODE", "COPY_NUM", "OPT_HT_DEFAULT",
            "GAMMA", "EDGE_QUALITY", "2SIDE", "INK_DENSITY_MULTI", "DOC_NAME", "PRINTER_TYPE",
            "PRINTER_NAME", "CALIB_DATA", "EEC_CALIB_DATA", "EFFECTIVE_EEC", "PARAM_RESET"]
ENTRIES = ["InitJob", "InitPage", "BandOut", "TerminatePage", "TerminatePageEx", "DestroyJob",
           "ResetJob", "GetCalibData", "GetInkAmount", "GetIDFData1", "GetIDFData2"]


def num(v):
    if -32 <= v <= 159:
        return bytes([v + 0x20])
    if v in EDGES:
        return bytes([0xC0 + EDGES.index(v)])
    return b"\xf0" + struct.pack("<i", v)


def count(v):
    if -1 <= v <= 16:
        return bytes([v + 1])
    return b"\xf0" + num(v)


def array(values, mode=0):
    """A count, the array mode byte and the elements."""
    out = count(len(values)) + bytes([mode])
    for v in values:
        out += num(v)
    return out


def lying_array(claimed, mode):
    """A count with no array (mode 0xF0) or a count <= 0 with mode 1 (pointer set)."""
    return count(claimed) + bytes([mode])


def start_page(data_type=2, width=16, height=128, channels=(), layout=0, groups=b"",
               convert_values=(), params=b"", intent=4):
    out = bytes([OPS["StartPage"]]) + num(0) + num(width) + num(height)
    out += groups if groups else count(0) + b"\x00"
    out += count(0) + b"\x00"                      # no colour convert channels
    out += num(360) + num(360) + num(width) + num(height)
    out += bytes([DATA_TYPES[data_type]])
    out += array(list(channels)) if channels else count(0) + b"\x00"
    out += bytes([layout])
    out += num(0) + array(list(convert_values)) if convert_values else num(0) + count(0) + b"\x00"
    out += num(intent)
    out += params if params else count(0) + b"\x00"
    return out + b"\x00\x00"                       # counts 1, no null records


def band(top, rows, width=16, area=None, stride=None, single=False, nulls=0):
    out = bytes([OPS["BandOut" if single else "BandOut2"]]) + num(top) + num(rows)
    out += num(0) + num(width)
    if area is None:
        out += b"\x00"
    else:
        out += b"\x80" + b"".join(num(v) for v in area)
    out += b"\x00\x00" if stride is None else b"\xf0" + num(stride)
    out += b"\x00" + bytes([nulls])
    if nulls == 4:
        out += b"\x01"
    return out + num(0)


def op(name, *payload):
    return bytes([OPS[name]]) + b"".join(payload)


def set_value(name, values, archive=False):
    out = bytes([OPS["SetValue"], SETTABLE.index(name)]) + count(len(values))
    if name == "CALIB_DATA":
        out += b"\x01" if archive else b"\x00"
    out += b"\x00" + b"".join(num(v) for v in values)
    return out


def sessions():
    spool_every_band = op("Spool", b"\x00", b"\x00", bytes([4]), b"\x1bPD\x00")
    page = lambda **kw: (start_page(**kw) + band(0, 64) + band(64, 64) + op("EndPage", num(0)))
    write("band_path", "two_page_job",
          b"\x00" + spool_every_band + op("StartJob") + page() + page() + op("EndJob"))
    write("band_path", "sixteen_bit_interleaved",
          b"\x08" + op("StartJob") + start_page(data_type=-1, layout=0x80) +
          band(0, 130) + band(130, 7, stride=16 * 6 + 3) + op("EndPage", num(1)) + op("EndJob"))
    write("band_path", "n_channel_single_buffer",
          b"\x00" + op("StartJob") + start_page(data_type=3, channels=(0, 1, 2, 3, 4, 5)) +
          band(0, 100, area=(2, 10, 12, 70), single=True) + band(100, 28, single=True) +
          op("EndPage", num(0)) + op("EndJob"))
    write("band_path", "module_failures",
          b"\x00" + op("Status", bytes([ENTRIES.index("InitPage")]), b"\x01", b"\x00") +
          op("Status", bytes([ENTRIES.index("TerminatePageEx")]), b"\x01", b"\x00") +
          op("StartJob") + start_page() + band(0, 64) + band(0, 64) +
          op("EndPage", num(0)) + op("EndPage", num(0)) + op("EndJob"))
    write("band_path", "calibration",
          b"\x00" + set_value("PRINTER_TYPE", [7]) + set_value("PRINTER_NAME", [0x706c6f74]) +
          op("GetValue", bytes([0]), count(16)) + set_value("CALIB_DATA", [1, 2, 3, 4], True) +
          set_value("PRT_RES_X", [720]) + set_value("SRC_RES_X", [0]) +
          op("StartJob") + start_page() + band(0, 64) + op("EndPage", num(0)) + op("EndJob"))
    groups = count(2) + b"\x00" + array([1, 2]) + lying_array(5, 0xF0) + \
        lying_array(-1, 1) + array([])
    write("band_path", "lying_records",
          b"\x00" + op("StartJob") + start_page(groups=groups, convert_values=(9, 9)) +
          band(-2**31, -1, stride=0) + band(0, 65536, stride=65536) +
          band(0, 64, nulls=3) + band(0, 64, nulls=4) + band(0, 64, stride=-16) +
          band(0, 64) + op("Dumps") + band(64, 64) + op("EndPage", num(0)) + op("EndJob"))


if __name__ == "__main__":
    archives()
    resources()
    inis()
    medias()
    sessions()
