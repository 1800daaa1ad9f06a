// Writes one drawing with one of the DXF writer libraries pinned in package-lock.json, for
// the other-writers test: node write.js WRITER OUT.dxf
// Each drawing holds what its library writes best: lines, polylines, circles, arcs, text,
// and whatever else it offers (blocks, hatches, splines, dimensions, 3D faces).
"use strict";
const fs = require("fs");

const writers = {
    "dxf-writer": () => {
        const Drawing = require("dxf-writer");
        const d = new Drawing();
        d.setUnits("Millimeters");
        d.addLayer("WALLS", Drawing.ACI.RED, "CONTINUOUS").setActiveLayer("WALLS");
        d.drawLine(0, 0, 100, 0).drawLine(100, 0, 100, 50);
        d.drawRect(10, 10, 40, 30);
        d.drawPolyline([[0, 60], [20, 70], [40, 60]], false, 1, 2);
        d.addLayer("NOTES", Drawing.ACI.BLUE, "DASHED").setActiveLayer("NOTES");
        d.drawCircle(50, 50, 10).drawArc(80, 80, 15, 0, 90);
        d.drawText(0, -10, 5, 0, "plan");
        d.drawEllipse(150, 50, 20, 0, 0.5);
        d.drawSpline([[0, 0], [10, 20], [30, 10], [40, 30]], 3);
        d.drawPolyline3d([[0, 0, 0], [10, 10, 5], [20, 0, 10]]);
        d.drawFace(0, 0, 0, 10, 0, 0, 10, 10, 0, 0, 10, 0);
        d.drawPoint(5, 5);
        return d.toDxfString();
    },
    "@tarikjabiri/dxf": () => {
        const dxf = require("@tarikjabiri/dxf");
        const p = dxf.point3d;
        const w = new dxf.DxfWriter();
        w.addLayer("WALLS", dxf.Colors.Red, "CONTINUOUS");
        w.setCurrentLayerName("WALLS");
        w.addLine(p(0, 0), p(100, 0));
        w.addLine(p(100, 0), p(100, 50), { colorNumber: 5 });
        w.addLWPolyline([{ point: dxf.point2d(0, 60) }, { point: dxf.point2d(20, 70) },
                         { point: dxf.point2d(40, 60), bulge: 0.5 }],
                        { flags: dxf.LWPolylineFlags.Closed, constantWidth: 1 });
        w.setCurrentLayerName("0");
        w.addCircle(p(50, 50), 10);
        w.addArc(p(80, 80), 15, 0, 90);
        w.addText(p(0, -10), 5, "plan");
        w.addMText(p(0, -30), 3, "a paragraph");
        w.addEllipse(p(150, 50), p(20, 0), 0.5, 0, 2 * Math.PI);
        w.addSpline({ controlPoints: [p(0, 0), p(10, 20), p(30, 10), p(40, 30)], degreeCurve: 3 });
        const block = w.addBlock("MARK");
        block.addCircle(p(0, 0), 2);
        block.addLine(p(-2, 0), p(2, 0));
        w.addInsert("MARK", p(60, 20), { colorNumber: 3 });
        const path = new dxf.HatchPolylineBoundary();
        [[0, 0], [20, 0], [20, 20], [0, 20]].forEach(([x, y]) => path.add(dxf.vertex(x, y)));
        const paths = new dxf.HatchBoundaryPaths();
        paths.addPolylineBoundary(path);
        w.addHatch(paths, dxf.pattern({ name: dxf.HatchPredefinedPatterns.ANSI31 }));
        w.addLinearDim(p(0, 0), p(100, 0), { offset: 10 });
        return w.stringify();
    },
    "@jscad/dxf-serializer": () => {
        const { primitives, booleans } = require("@jscad/modeling");
        const serializer = require("@jscad/dxf-serializer");
        const shape = booleans.subtract(primitives.rectangle({ size: [40, 20] }),
                                        primitives.circle({ radius: 5, segments: 16 }));
        const path = primitives.line([[0, 30], [20, 40], [40, 30]]);
        const solid = primitives.cuboid({ size: [10, 10, 10], center: [60, 0, 5] });
        return serializer.serialize({}, shape, path, solid).join("");
    },
    makerjs: () => {
        const makerjs = require("makerjs");
        const model = {
            paths: {
                a: new makerjs.paths.Line([0, 0], [100, 0]),
                b: new makerjs.paths.Circle([50, 50], 10),
                c: new makerjs.paths.Arc([80, 80], 15, 0, 90),
            },
            models: {
                plate: new makerjs.models.RoundRectangle(60, 30, 5),
                star: makerjs.model.move(new makerjs.models.Star(5, 20, 10), [120, 40]),
            },
        };
        model.models.plate.layer = "red";
        return makerjs.exporter.toDXF(model, { units: makerjs.unitType.Millimeter });
    },
};

const [name, out] = process.argv.slice(2);
if (!writers[name] || !out) {
    console.error("usage: node write.js " + Object.keys(writers).join("|") + " OUT.dxf");
    process.exit(2);
}
fs.writeFileSync(out, writers[name]());
