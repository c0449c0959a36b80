# SPDX-License-Identifier: BSD-3-Clause
"""The yardstick of snrmap scan's index: the same archive's headers read and grouped with pydicom.

Reads every file under the roots without its pixels on one thread (as a short script would), skips
what is no DICOM image, and groups the images by study and acquisition as the scan does. Returns
the number of files and of groups.
"""

import os

import pydicom
from pydicom.errors import InvalidDicomError

KEY = ["StudyInstanceUID", "Manufacturer", "ManufacturerModelName", "DeviceSerialNumber", "StationName",
       "ReceiveCoilName", "SequenceName", "RepetitionTime", "EchoTime", "FlipAngle", "Rows", "Columns",
       "PixelSpacing", "SliceThickness", "ImageOrientationPatient", "ImagePositionPatient",
       "ParallelAcquisition", "ParallelReductionFactorInPlane", "ParallelReductionFactorOutOfPlane"]


def index_and_group(roots):
    files = 0
    groups = {}
    for root in roots:
        for folder, subfolders, names in os.walk(root):
            subfolders[:] = sorted(d for d in subfolders if not d.startswith("."))
            for name in sorted(names):
                if name.startswith("."):
                    continue
                files += 1
                try:
                    data = pydicom.dcmread(os.path.join(folder, name), stop_before_pixels=True)
                except (InvalidDicomError, OSError, ValueError):
                    continue
                key = tuple(str(data.get(keyword, "")) for keyword in KEY)
                groups.setdefault(key, []).append(os.path.join(folder, name))
    return files, len(groups)
