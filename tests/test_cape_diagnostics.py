"""CAPE diagnostics and the effective inflow layer on model files: identities
between the variables, the analytic sounding of Weisman and Klemp against an
independent parcel integration, the published Omaha parcels end to end
(where the observed sounding is present), options."""

from __future__ import annotations

import numpy as np
import pytest

from tarq import _tarq
from tarq.testing import (EPS, KAPPA, RD, build_model_file, mixing_ratio_from_dewpoint, oax_sounding, one_column_file,
                          standard_sounding, vapor_pressure_hpa, weisman_klemp_sounding)

NX, NY, NZ = 6, 5, 24


@pytest.fixture(scope="module")
def unstable(tmp_path_factory):
    """Warm, moist low levels under a steep lapse rate, over a hill, with noise."""
    snd = standard_sounding(t_sfc_c=30.0, rh_sfc=0.85, lapse_k_per_km=7.5, rh_top=0.3)
    mf = build_model_file(tmp_path_factory.mktemp("cape") / "unstable.nc", nx=NX, ny=NY, nz=NZ, nt=2,
                          sounding=snd, noise=0.4, seed=11)
    return _tarq.TarqFile(mf.path)


@pytest.fixture(scope="module")
def stable(tmp_path_factory):
    """Cool, dry air with a weak lapse rate: no parcel is ever buoyant."""
    snd = standard_sounding(t_sfc_c=10.0, rh_sfc=0.3, lapse_k_per_km=4.0, rh_top=0.1)
    mf = build_model_file(tmp_path_factory.mktemp("cape") / "stable.nc", nx=4, ny=3, nz=12, nt=1, sounding=snd)
    return _tarq.TarqFile(mf.path)


def test_cape2d_stacks_the_single_results(unstable):
    f = unstable
    ml = f.getvar("cape2d", timeidx=1)
    assert ml.shape == (4, NY, NX)
    np.testing.assert_array_equal(ml[0], f.getvar("mlcape", timeidx=1))
    np.testing.assert_array_equal(ml[1], f.getvar("mlcin", timeidx=1))
    sb = f.getvar("cape2d", timeidx=1, parcel_type="sb")
    np.testing.assert_array_equal(sb[0], f.getvar("sbcape", timeidx=1))
    np.testing.assert_array_equal(sb[1], f.getvar("sbcin", timeidx=1))
    np.testing.assert_array_equal(sb[2], f.getvar("lcl", timeidx=1))
    np.testing.assert_array_equal(sb[3], f.getvar("lfc", timeidx=1))
    mu = f.getvar("cape2d", timeidx=1, parcel_type="mu")
    np.testing.assert_array_equal(mu[0], f.getvar("mucape", timeidx=1))
    np.testing.assert_array_equal(mu[1], f.getvar("mucin", timeidx=1))
    np.testing.assert_array_equal(mu[2], f.getvar("lcl", timeidx=1, parcel_type="mu"))
    # Physical sense: buoyant everywhere, CIN never positive, LFC above LCL.
    assert (sb[0] > 500.0).all() and (sb[1] <= 0.0).all()
    assert (sb[3] >= sb[2]).all() and (ml[0] <= mu[0] + 1e-9).all()


def test_cape_and_cin_without_a_complete_custom_parcel(unstable):
    f = unstable
    sbcape = f.getvar("sbcape")
    two_of_three = [dict(parcel_pressure=900.0, parcel_temperature=25.0),
                    dict(parcel_temperature=25.0, parcel_dewpoint=20.0),
                    dict(parcel_pressure=900.0, parcel_dewpoint=20.0)]
    for options in two_of_three:
        np.testing.assert_array_equal(f.getvar("cape", **options), sbcape)
        np.testing.assert_array_equal(f.getvar("cin", **options), f.getvar("sbcin"))
    np.testing.assert_array_equal(f.getvar("cape", parcel_type="ml", parcel_pressure=900.0), f.getvar("mlcape"))
    np.testing.assert_array_equal(f.getvar("cape", parcel_type="unknown"), sbcape)


def test_custom_parcel(unstable):
    f = unstable
    hpa = dict(parcel_pressure=850.0, parcel_temperature=24.0, parcel_dewpoint=18.0)
    cape = f.getvar("cape", **hpa)
    cin = f.getvar("cin", **hpa)
    assert (cape > 0.0).all() and (cin <= 0.0).all()
    # Pa and K are recognised and converted before the column is cut at the parcel.
    si = dict(parcel_pressure=85000.0, parcel_temperature=24.0 + 273.15, parcel_dewpoint=18.0 + 273.15)
    np.testing.assert_allclose(f.getvar("cape", **si), cape, rtol=1e-12)
    np.testing.assert_allclose(f.getvar("cin", **si), cin, rtol=1e-12, atol=1e-12)
    # Above the second-highest level fewer than two levels remain: 0.
    p_hpa = f.getvar("pressure") / 100.0
    high = dict(parcel_pressure=float(p_hpa[-2].min()) - 0.5, parcel_temperature=-50.0, parcel_dewpoint=-60.0)
    np.testing.assert_array_equal(f.getvar("cape", **high), 0.0)
    np.testing.assert_array_equal(f.getvar("cin", **high), 0.0)


def test_never_buoyant(stable):
    f = stable
    for name in ("sbcape", "sbcin", "mlcape", "mlcin", "mucape", "mucin", "el", "effective_cape"):
        np.testing.assert_array_equal(f.getvar(name), 0.0, err_msg=name)
    assert np.isnan(f.getvar("lfc")).all()
    assert (f.getvar("lcl") > 0.0).all()
    np.testing.assert_array_equal(f.getvar("effective_inflow"), np.zeros((2, 3, 4)))


def test_top_m_caps_every_parcel(unstable):
    f = unstable
    for name in ("sbcape", "mlcape", "mucape", "cape"):
        full = f.getvar(name)
        capped = f.getvar(name, top_m=3000.0)
        assert (capped < full).all(), name
        assert (capped > 0.0).all(), name
        # A cap above the model top changes nothing.
        np.testing.assert_array_equal(f.getvar(name, top_m=1e6), full, err_msg=name)
    # el and cape3d ignore it.
    np.testing.assert_array_equal(f.getvar("el", top_m=3000.0), f.getvar("el"))


def test_cape3d(unstable):
    f = unstable
    c3 = f.getvar("cape3d")
    assert c3.shape == (NZ, NY, NX)
    np.testing.assert_array_equal(c3[-1], 0.0)
    assert (c3 >= 0.0).all()
    # Low-level parcels are the buoyant ones; upper-tropospheric ones are not.
    assert (c3[0] > 500.0).all()
    assert (c3[-2] == 0.0).all()


def test_effective_layer_against_cape3d(unstable):
    f = unstable
    c3 = f.getvar("cape3d")
    z = f.getvar("height_agl")
    inflow = f.getvar("effective_inflow")
    eff = f.getvar("effective_cape")
    assert inflow.shape == (2, NY, NX)
    for j in range(NY):
        for i in range(NX):
            base = int(np.flatnonzero(z[:, j, i] == inflow[0, j, i])[0])
            assert c3[base, j, i] >= 100.0
            # The layer runs from the base to some level at or below the end of
            # the run of levels with CAPE >= 100; the effective CAPE is the
            # largest cape3d over it.
            run_end = base
            while run_end + 1 < NZ - 1 and c3[run_end + 1, j, i] >= 100.0:
                run_end += 1
            running_max = np.maximum.accumulate(c3[base:run_end + 1, j, i])
            assert eff[j, i] in running_max
            # The top is the equilibrium level of the best parcel, far above the base.
            assert inflow[1, j, i] > inflow[0, j, i] + 5000.0


def pseudoadiabat(p_hpa, p_lcl_hpa, t_lcl_k):
    """Saturated parcel temperatures (K) at the pressures p_hpa (decreasing,
    all at or above the LCL): the pseudoadiabatic lapse rate
    dT/dp = (Rd T + Lv rs) / (p (cp + Lv^2 rs eps / (Rd T^2))) (AMS Glossary,
    "pseudoadiabatic lapse rate"), integrated with fourth-order Runge-Kutta
    steps of 0.5 hPa, constant Lv and cp."""
    lv, cp = 2.501e6, 1005.7

    def slope(p, t):
        e = vapor_pressure_hpa(t - 273.15)
        rs = EPS * e / (p - e)
        return (RD * t + lv * rs) / (p * (cp + lv * lv * rs * EPS / (RD * t * t)))

    grid = np.arange(p_lcl_hpa, p_hpa[-1] - 0.5, -0.5)
    temps = np.empty_like(grid)
    temps[0] = t = t_lcl_k
    for i, (p, dp) in enumerate(zip(grid[:-1], np.diff(grid)), start=1):
        k1 = slope(p, t)
        k2 = slope(p + dp / 2, t + dp / 2 * k1)
        k3 = slope(p + dp / 2, t + dp / 2 * k2)
        k4 = slope(p + dp, t + dp * k3)
        temps[i] = t = t + dp / 6 * (k1 + 2 * k2 + 2 * k3 + k4)
    return np.interp(-np.log(p_hpa), -np.log(grid), temps)


def independent_surface_parcel(snd):
    """CAPE (J/kg), LCL pressure (hPa) and the pressures bounding the positive
    area of the surface parcel: dry ascent to the LCL of Bolton (1980) eq. 15,
    the pseudoadiabat above it, virtual temperatures, trapezoids in ln p."""
    p, t_k = snd.p_hpa, snd.t_c + 273.15
    td_k = snd.td_c[0] + 273.15
    t_lcl = 1.0 / (1.0 / (td_k - 56.0) + np.log(t_k[0] / td_k) / 800.0) + 56.0
    p_lcl = p[0] * (t_lcl / t_k[0]) ** (1.0 / KAPPA)
    dry = p >= p_lcl
    parcel = np.where(dry, t_k[0] * (p / p[0]) ** KAPPA, 0.0)
    parcel[~dry] = pseudoadiabat(p[~dry], p_lcl, t_lcl)
    e = vapor_pressure_hpa(parcel - 273.15)
    r_parcel = np.where(dry, mixing_ratio_from_dewpoint(p[0], snd.td_c[0]), EPS * e / (p - e))
    r_env = mixing_ratio_from_dewpoint(p, snd.td_c)
    buoyancy = parcel * (1 + r_parcel / EPS) / (1 + r_parcel) - t_k * (1 + r_env / EPS) / (1 + r_env)
    layer = 0.5 * (buoyancy[1:] + buoyancy[:-1])
    positive = layer > 0
    cape = np.sum(RD * layer[positive] * np.diff(-np.log(p))[positive])
    bounds = p[:-1][positive][0], p[1:][positive][-1]
    return cape, p_lcl, bounds


@pytest.mark.parametrize("qv_max", [0.012, 0.014, 0.016])
def test_weisman_klemp_surface_parcel(tmp_path, qv_max):
    """The analytic sounding of Weisman and Klemp (1982) at three of its
    moisture caps, as a one-column file, against an independent integration.

    The LCL heights agree within 10 m (Bolton's eq. 15 is good to 0.1 K in
    T_LCL, about 10 m). The parcel rows follow Wobus's fit of the moist
    adiabats, which departs from the integrated pseudoadiabat by some tenths
    of a kelvin aloft (0.3 to 0.5 K of mean parcel virtual temperature on
    these three profiles): CAPE may differ by Rd * 0.6 K * ln(p_LFC / p_EL)."""
    snd = weisman_klemp_sounding(qv_max_kg_kg=qv_max)
    f = _tarq.TarqFile(one_column_file(tmp_path / "wk.nc", snd).path)
    cape, p_lcl, (p_lfc, p_el) = independent_surface_parcel(snd)
    z_lcl = np.interp(-np.log(p_lcl), -np.log(snd.p_hpa), snd.z_m) - snd.z_m[0]
    assert f.getvar("lcl")[0, 0] == pytest.approx(z_lcl, abs=10.0)
    assert f.getvar("sbcape")[0, 0] == pytest.approx(cape, abs=RD * 0.6 * np.log(p_lfc / p_el))


@pytest.fixture(scope="module")
def omaha(tmp_path_factory, reference_sounding_csv):
    """The Omaha sounding as a one-column model file (as the parcel averages
    depend on the level spacing)."""
    snd = oax_sounding(reference_sounding_csv)
    z = snd.z_m[1:]
    mf = one_column_file(tmp_path_factory.mktemp("oax") / "oax.nc", snd)
    f = _tarq.TarqFile(mf.path)
    # Mass-level heights within a few metres of the sounding's.
    assert np.abs(f.getvar("height_agl")[:, 0, 0] - (z - snd.z_m[0])).max() < 0.1
    return f


def test_omaha_published_parcels(omaha):
    """Surface-based and 100 hPa mixed-layer parcels of the Omaha sounding
    against the values SHARPpy's tests publish ("Value from SHARP"), with the
    tolerances of the reference's README."""
    f = omaha
    sb = f.getvar("cape2d", parcel_type="sb")[:, 0, 0]
    ml = f.getvar("cape2d")[:, 0, 0]
    for got, (cape, cin, lcl, lfc) in ((sb, (5765.0, -1.0, 513.0, 613.0)), (ml, (4203.0, -58.0, 1003.0, 2393.0))):
        assert got[0] == pytest.approx(cape, rel=0.03)
        assert got[1] == pytest.approx(cin, abs=15.0)
        assert got[2] == pytest.approx(lcl, abs=25.0)
        assert got[3] == pytest.approx(lfc, abs=100.0)
    assert f.getvar("sbcape")[0, 0] == sb[0]
    assert f.getvar("mlcape")[0, 0] == ml[0]
    assert f.getvar("lcl")[0, 0] == sb[2]
    assert f.getvar("lfc")[0, 0] == sb[3]
    # The most-unstable parcel is the surface parcel here.
    assert f.getvar("mucape")[0, 0] == pytest.approx(sb[0], rel=0.01)
    # Equilibrium level of the surface parcel in the upper troposphere.
    assert 10000.0 < f.getvar("el")[0, 0] < 16000.0
    # The lowest level qualifies for the effective layer: its own height is the base.
    assert f.getvar("effective_inflow")[0, 0, 0] == f.getvar("height_agl")[0, 0, 0]
    # Precipitable water, published as 1.53 in (38.9 mm) from the surface to
    # 400 hPa; ours runs from the lowest level above the surface to the top.
    assert f.getvar("pw")[0, 0] == pytest.approx(38.9, abs=1.5)


def test_buoyant_to_the_model_top_has_no_equilibrium_level(tmp_path):
    snd = standard_sounding(t_sfc_c=32.0, rh_sfc=0.9, lapse_k_per_km=8.5, tropopause_m=40000.0, top_m=26000.0)
    mf = build_model_file(tmp_path / "deep.nc", nx=2, ny=2, nz=16, nt=1, sounding=snd, terrain=0.0,
                          p_top_pa=20000.0)
    f = _tarq.TarqFile(mf.path)
    assert (f.getvar("sbcape") > 0.0).all()
    np.testing.assert_array_equal(f.getvar("el"), 0.0)
    inflow = f.getvar("effective_inflow")
    assert (inflow[0] > 0.0).all()
    np.testing.assert_array_equal(inflow[1], 0.0)


def test_lake_interp(tmp_path):
    lu = np.full((5, 5), 2.0)
    lu[2, 2] = 21.0
    t2 = np.full((5, 5), 303.0)
    t2[2, 2] = 290.0
    mf = build_model_file(tmp_path / "lake.nc", nx=5, ny=5, nz=12, nt=1, lu_index=lu, terrain=0.0,
                          sounding=standard_sounding(t_sfc_c=30.0, rh_sfc=0.85, lapse_k_per_km=7.5),
                          overrides={"T2": t2})
    f = _tarq.TarqFile(mf.path)
    raw = f.getvar("sbcape")
    filled = f.getvar("sbcape", lake_interp=1e6)
    assert filled[2, 2] > raw[2, 2]
    assert filled[2, 2] == pytest.approx(filled[2, 1], rel=1e-9)
    np.testing.assert_array_equal(np.delete(filled.ravel(), 12), np.delete(raw.ravel(), 12))
    # el reads the raw 2-m fields whatever the option.
    np.testing.assert_array_equal(f.getvar("el", lake_interp=1e6), f.getvar("el"))


def test_missing_input_is_reported(tmp_path):
    mf = build_model_file(tmp_path / "noq2.nc", nx=3, ny=2, nz=6, nt=1, omit=("Q2",))
    f = _tarq.TarqFile(mf.path)
    with pytest.raises(RuntimeError, match="Q2"):
        f.getvar("sbcape")
    f.getvar("cape3d")


def test_parallel_equals_serial(unstable, workers):
    f = unstable
    names = [("cape2d", {}), ("cape2d", {"parcel_type": "mu"}), ("el", {}), ("cape3d", {}),
             ("effective_inflow", {}), ("cape", dict(parcel_pressure=850.0, parcel_temperature=24.0,
                                                     parcel_dewpoint=18.0))]
    workers(lambda: [f.getvar(n, timeidx=1, **o) for n, o in names])
