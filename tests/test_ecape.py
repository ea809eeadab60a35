"""Entraining CAPE against the `ecape` package (0.1.1) on one-column files.

The package lifts its parcels with MetPy (an integrated pseudoadiabat,
temperature buoyancy) and moves storms with MetPy's Bunkers motion (a
pressure-weighted mean wind); tarq with its parcel kernel (Wobus adiabat,
virtual-temperature buoyancy) and its own Bunkers motion. Here the package is
given tarq's CAPE and tarq the package's storm motion, so what is compared is
the formula and its inputs from the profile: the NCAPE integral between the
LFC and the EL, psi at the EL and the storm-relative wind. Those still differ
where the two parcels' LFC and EL fall on different levels, within 5 %.
"""

import numpy as np
import pytest

from tarq import _tarq
from tarq.testing import oax_sounding, one_column_file, weisman_klemp_sounding

ecape_calc = pytest.importorskip("ecape.calc")
mpcalc = pytest.importorskip("metpy.calc")
from metpy.units import units  # noqa: E402

# The package still passes MetPy an argument MetPy is retiring.
pytestmark = pytest.mark.filterwarnings("ignore:Temperature argument is unused:PendingDeprecationWarning")

CAPE_TYPES = {"sb": "surface_based", "ml": "mixed_layer", "mu": "most_unstable"}


def check_against_package(f, snd, parcel_types):
    p, t, td = snd.p_hpa * units.hPa, snd.t_c * units.degC, snd.td_c * units.degC
    z, u, v = snd.z_m * units.m, snd.u_ms * units("m/s"), snd.v_ms * units("m/s")
    q = mpcalc.specific_humidity_from_dewpoint(p, td)
    right, _, _ = mpcalc.bunkers_storm_motion(p, u, v, z - z[0])
    motion = tuple(float(c) for c in right.m_as("m/s"))
    for parcel_type in parcel_types:
        cape = f.getvar("cape", parcel_type=parcel_type)[0, 0]
        expected = ecape_calc.calc_ecape(z, p, t, q, u, v, cape_type=CAPE_TYPES[parcel_type],
                                         undiluted_cape=cape * units("J/kg")).m_as("J/kg")
        got = f.getvar("ecape", parcel_type=parcel_type, storm_motion=motion)[0, 0]
        assert got == pytest.approx(expected, rel=0.05), parcel_type
        # Entrainment dilutes: ECAPE stays below CAPE but for the small wind term.
        assert 0.0 < got < cape + 0.5 * 30.0**2


@pytest.mark.parametrize("qv_max", [0.011, 0.014, 0.016])
def test_weisman_klemp_against_ecape(tmp_path, qv_max):
    snd = weisman_klemp_sounding(qv_max_kg_kg=qv_max, step_m=250.0)
    f = _tarq.TarqFile(one_column_file(tmp_path / "wk.nc", snd).path)
    # MetPy finds no LFC for the package's most-unstable parcel of the drier two.
    check_against_package(f, snd, ("sb", "ml", "mu") if qv_max > 0.015 else ("sb", "ml"))


def test_omaha_against_ecape(tmp_path, reference_sounding_csv):
    snd = oax_sounding(reference_sounding_csv)
    check_against_package(_tarq.TarqFile(one_column_file(tmp_path / "oax.nc", snd).path), snd, ("sb", "ml", "mu"))


def test_defaults_alias_and_no_cape(tmp_path):
    snd = weisman_klemp_sounding(step_m=250.0)
    f = _tarq.TarqFile(one_column_file(tmp_path / "wk.nc", snd).path)
    np.testing.assert_array_equal(f.getvar("entraining_cape"), f.getvar("ecape", parcel_type="mu"))
    # A stronger storm-relative wind (a wider updraft) entrains less; the
    # 0-1 km wind here runs from 0 to 6.4 m/s eastward.
    calm = f.getvar("ecape", storm_motion=(3.0, 0.0))[0, 0]
    windy = f.getvar("ecape", storm_motion=(20.0, 0.0))[0, 0]
    assert windy > calm
    dry = weisman_klemp_sounding(qv_max_kg_kg=0.004, step_m=250.0)
    g = _tarq.TarqFile(one_column_file(tmp_path / "dry.nc", dry).path)
    assert g.getvar("cape", parcel_type="mu")[0, 0] == 0.0
    assert g.getvar("ecape")[0, 0] == 0.0
