"""The type stubs of tarq._tarq agree with the compiled module."""

from __future__ import annotations

import ast
import inspect
from pathlib import Path

import pytest

import tarq
from tarq import _tarq

STUB = Path(tarq.__file__).resolve().parent / "_tarq.pyi"


def stub_definitions() -> dict[str, ast.FunctionDef | ast.ClassDef]:
    """Top-level classes and functions, and methods as Class.method."""
    found: dict[str, ast.FunctionDef | ast.ClassDef] = {}
    for node in ast.parse(STUB.read_text()).body:
        if isinstance(node, (ast.FunctionDef, ast.ClassDef)):
            found[node.name] = node
        if isinstance(node, ast.ClassDef):
            for item in node.body:
                if isinstance(item, ast.FunctionDef):
                    found[f"{node.name}.{item.name}"] = item
    return found


def stub_parameters(node: ast.FunctionDef) -> list[tuple[str, object]]:
    args = node.args
    assert not (args.posonlyargs or args.kwonlyargs or args.vararg or args.kwarg)
    defaults = [inspect.Parameter.empty] * (len(args.args) - len(args.defaults))
    defaults += [ast.literal_eval(d) for d in args.defaults]
    return [(a.arg, d) for a, d in zip(args.args, defaults)]


def runtime_parameters(obj) -> list[tuple[str, object]]:
    params = list(inspect.signature(obj).parameters.values())
    if params and params[0].name == "self":
        assert params[0].kind is inspect.Parameter.POSITIONAL_ONLY
        params = params[1:]
    assert all(p.kind is inspect.Parameter.POSITIONAL_OR_KEYWORD for p in params)
    return [(p.name, p.default) for p in params]


@pytest.mark.parametrize(
    "stub_name, runtime",
    [
        ("TarqFile.__init__", _tarq.TarqFile),
        ("TarqFile.getvar", _tarq.TarqFile.getvar),
        ("TarqFile.times", _tarq.TarqFile.times),
        ("getvar", _tarq.getvar),
        ("list_variables", _tarq.list_variables),
    ],
)
def test_stub_signatures_match_the_module(stub_name, runtime):
    params = stub_parameters(stub_definitions()[stub_name])
    if params and params[0][0] == "self":
        params = params[1:]
    assert params == runtime_parameters(runtime)


def test_stub_declares_every_public_name():
    public = {name for name in dir(_tarq) if not name.startswith("_")}
    declared = {name for name in stub_definitions() if "." not in name}
    assert declared == public
    properties = {"nx", "ny", "nz", "nt", "dx", "dy", "path"}
    assert properties <= {n.split(".")[1] for n in stub_definitions() if n.startswith("TarqFile.")}


def test_stub_documents_every_getvar_argument():
    doc = ast.get_docstring(stub_definitions()["TarqFile.getvar"])
    assert doc.splitlines()[0] == _tarq.TarqFile.getvar.__doc__
    for name, _ in runtime_parameters(_tarq.TarqFile.getvar):
        assert f"\n{name}: " in doc, f"{name} is not documented"
