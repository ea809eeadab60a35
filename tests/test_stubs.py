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


def stub_parameters(node: ast.FunctionDef) -> list[tuple[str, str, object]]:
    """(name, kind, default) of each parameter, self left out."""
    args = node.args
    assert not (args.posonlyargs or args.vararg or args.kwarg)
    empty = inspect.Parameter.empty
    defaults = [empty] * (len(args.args) - len(args.defaults)) + [ast.literal_eval(d) for d in args.defaults]
    params = [(a.arg, "positional or keyword", d) for a, d in zip(args.args, defaults)]
    params += [(a.arg, "keyword-only", empty if d is None else ast.literal_eval(d))
               for a, d in zip(args.kwonlyargs, args.kw_defaults)]
    return [p for p in params if p[0] != "self"]


def runtime_parameters(obj) -> list[tuple[str, str, object]]:
    params = list(inspect.signature(obj).parameters.values())
    if params and params[0].name == "self":
        assert params[0].kind is inspect.Parameter.POSITIONAL_ONLY
        params = params[1:]
    return [(p.name, p.kind.description, p.default) for p in params]


@pytest.mark.parametrize(
    "stub_name, runtime",
    [
        ("TarqFile.__init__", _tarq.TarqFile),
        ("TarqFile.getvar", _tarq.TarqFile.getvar),
        ("TarqFile.times", _tarq.TarqFile.times),
        ("getvar", _tarq.getvar),
        ("list_variables", _tarq.list_variables),
        ("interp_levels", _tarq.interp_levels),
    ],
)
def test_stub_signatures_match_the_module(stub_name, runtime):
    assert stub_parameters(stub_definitions()[stub_name]) == runtime_parameters(runtime)


def test_stub_declares_every_public_name():
    public = {name for name in dir(_tarq) if not name.startswith("_")}
    declared = {name for name in stub_definitions() if "." not in name}
    assert {name for name in declared if not name.startswith("_")} == public
    assert declared <= set(dir(_tarq))   # private helpers the package uses exist too
    properties = {"nx", "ny", "nz", "nt", "dx", "dy", "path"}
    assert properties <= {n.split(".")[1] for n in stub_definitions() if n.startswith("TarqFile.")}


def test_stub_documents_every_getvar_argument():
    doc = ast.get_docstring(stub_definitions()["TarqFile.getvar"])
    assert doc.splitlines()[0] == _tarq.TarqFile.getvar.__doc__
    for name, _, _ in runtime_parameters(_tarq.TarqFile.getvar):
        assert f"\n{name}: " in doc, f"{name} is not documented"


def test_stub_exception_classes_match_the_module():
    classes = {name: node for name, node in stub_definitions().items()
               if isinstance(node, ast.ClassDef) and name != "TarqFile"}
    for name, node in classes.items():
        runtime = getattr(_tarq, name)
        assert [ast.unparse(base) for base in node.bases] == [base.__name__ for base in runtime.__bases__], name
        assert ast.get_docstring(node, clean=True) == inspect.cleandoc(runtime.__doc__), name
