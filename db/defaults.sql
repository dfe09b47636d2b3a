-- Default data of a new database: the settings row, the reference lists and
-- the item catalogue of a five-part-differential analyser.
-- The operator table stays empty: the first log-on creates the default account.

-- The one settings row; NULL means nothing chosen yet. A margin of 0 means
-- the default margin, so a new database prints with the defaults at once.
INSERT INTO corpration (imeno, prntindex, paperindex, rptindex, p_top, p_left, p_bottom, p_right)
VALUES (NULL, NULL, NULL, NULL, 0, 0, 0, 0);

INSERT INTO codetb (code, name) VALUES ('01', '血常规');

-- The first kind and state are the defaults of a new patient.
INSERT INTO samplekind (name) VALUES ('全血');
INSERT INTO samplekind (name) VALUES ('末梢血');
INSERT INTO samplekind (name) VALUES ('静脉血');

INSERT INTO sampleapperance (name) VALUES ('正常');
INSERT INTO sampleapperance (name) VALUES ('溶血');
INSERT INTO sampleapperance (name) VALUES ('脂血');
INSERT INTO sampleapperance (name) VALUES ('黄疸');
INSERT INTO sampleapperance (name) VALUES ('凝块');

INSERT INTO department (no, suoxie, name) VALUES (1, 'nk', '内科');
INSERT INTO department (no, suoxie, name) VALUES (2, 'wk', '外科');
INSERT INTO department (no, suoxie, name) VALUES (3, 'fk', '妇产科');
INSERT INTO department (no, suoxie, name) VALUES (4, 'ek', '儿科');
INSERT INTO department (no, suoxie, name) VALUES (5, 'jz', '急诊科');
INSERT INTO department (no, suoxie, name) VALUES (6, 'tj', '体检中心');

INSERT INTO doctor (no, name) VALUES ('01', '王医生');
INSERT INTO doctor (no, name) VALUES ('02', '李医生');
INSERT INTO doctor (no, name) VALUES ('03', '张医生');

-- Item catalogue. itemmark is the line mark of the item in the analyser's
-- record: A..V, clear of the sample-number mark 'u' and the graph marks W..b.
-- HGB and MCHC arrive in g/dL and are stored in g/L (factor 10).
-- Derived items have no mark; their formulas name items as (itemid).
INSERT INTO itemtb (itemid, abbreviation, name, unit, printorder, hsyz, bitnum, manlow, manhigh, womanlow, womanhigh, itemmark, expressions) VALUES
 ( 1, 'WBC',    '白细胞计数',               '10^9/L',   1,  1, 2, '3.5',   '9.5',   '3.5',   '9.5',   'A', ''),
 ( 2, 'NEU#',   '中性粒细胞绝对值',         '10^9/L',   2,  1, 2, '1.8',   '6.3',   '1.8',   '6.3',   'B', ''),
 ( 3, 'LYM#',   '淋巴细胞绝对值',           '10^9/L',   3,  1, 2, '1.1',   '3.2',   '1.1',   '3.2',   'C', ''),
 ( 4, 'MON#',   '单核细胞绝对值',           '10^9/L',   4,  1, 2, '0.1',   '0.6',   '0.1',   '0.6',   'D', ''),
 ( 5, 'EOS#',   '嗜酸性粒细胞绝对值',       '10^9/L',   5,  1, 2, '0.02',  '0.52',  '0.02',  '0.52',  'E', ''),
 ( 6, 'BAS#',   '嗜碱性粒细胞绝对值',       '10^9/L',   6,  1, 2, '0',     '0.06',  '0',     '0.06',  'F', ''),
 ( 7, 'NEU%',   '中性粒细胞百分比',         '%',        7,  1, 1, '40',    '75',    '40',    '75',    'G', ''),
 ( 8, 'LYM%',   '淋巴细胞百分比',           '%',        8,  1, 1, '20',    '50',    '20',    '50',    'H', ''),
 ( 9, 'MON%',   '单核细胞百分比',           '%',        9,  1, 1, '3',     '10',    '3',     '10',    'I', ''),
 (10, 'EOS%',   '嗜酸性粒细胞百分比',       '%',       10,  1, 1, '0.4',   '8.0',   '0.4',   '8.0',   'J', ''),
 (11, 'BAS%',   '嗜碱性粒细胞百分比',       '%',       11,  1, 1, '0',     '1',     '0',     '1',     'K', ''),
 (12, 'RBC',    '红细胞计数',               '10^12/L', 12,  1, 2, '4.3',   '5.8',   '3.8',   '5.1',   'L', ''),
 (13, 'HGB',    '血红蛋白',                 'g/L',     13, 10, 0, '130',   '175',   '115',   '150',   'M', ''),
 (14, 'HCT',    '红细胞压积',               '%',       14,  1, 1, '40',    '50',    '35',    '45',    'N', ''),
 (15, 'MCV',    '平均红细胞体积',           'fL',      15,  1, 1, '82',    '100',   '82',    '100',   'O', ''),
 (16, 'MCH',    '平均红细胞血红蛋白含量',   'pg',      16,  1, 1, '27',    '34',    '27',    '34',    'P', ''),
 (17, 'MCHC',   '平均红细胞血红蛋白浓度',   'g/L',     17, 10, 0, '316',   '354',   '316',   '354',   'Q', ''),
 (18, 'RDW-CV', '红细胞分布宽度变异系数',   '%',       18,  1, 1, '11.0',  '16.0',  '11.0',  '16.0',  'R', ''),
 (19, 'PLT',    '血小板计数',               '10^9/L',  19,  1, 0, '125',   '350',   '125',   '350',   'S', ''),
 (20, 'MPV',    '平均血小板体积',           'fL',      20,  1, 1, '7.4',   '10.4',  '7.4',   '10.4',  'T', ''),
 (21, 'PCT',    '血小板压积',               '%',       21,  1, 3, '0.108', '0.282', '0.108', '0.282', 'U', ''),
 (22, 'PDW',    '血小板分布宽度',           '',        22,  1, 1, '15.0',  '17.0',  '15.0',  '17.0',  'V', ''),
 (23, 'NLR',    '中性粒细胞与淋巴细胞比值', '',        23,  1, 2, '',      '',      '',      '',      '',  '(2)/(3)'),
 (24, 'PLR',    '血小板与淋巴细胞比值',     '',        24,  1, 1, '',      '',      '',      '',      '',  '(19)/(3)');
