-- Demo routes and route addresses (valid for SQLite and PostgreSQL).
-- Route ids come from the tables' own counters: 1 example.com,
-- 2 example.org, 3 sub.example.com, 4 mail.example.net.

INSERT INTO hm_routes (routedomainname, routedescription, routetargetsmthost, routetargetsmtport, routenooftries, routeminutesbetweentry, routealladdresses, routeuseauthentication, routeauthenticationusername, routeauthenticationpassword, routetreatsecurityaslocal, routeconnectionsecurity, routetreatsenderaslocaldomain)
  VALUES ('example.com', 'Weiterleitung example.com', 'mx.example.com', 25, 4, 15, 0, 0, '', '', 0, 0, 0);
INSERT INTO hm_routes (routedomainname, routedescription, routetargetsmthost, routetargetsmtport, routenooftries, routeminutesbetweentry, routealladdresses, routeuseauthentication, routeauthenticationusername, routeauthenticationpassword, routetreatsecurityaslocal, routeconnectionsecurity, routetreatsenderaslocaldomain)
  VALUES ('example.org', 'Weiterleitung example.org', 'mx.example.org', 25, 4, 15, 0, 0, '', '', 0, 0, 0);
INSERT INTO hm_routes (routedomainname, routedescription, routetargetsmthost, routetargetsmtport, routenooftries, routeminutesbetweentry, routealladdresses, routeuseauthentication, routeauthenticationusername, routeauthenticationpassword, routetreatsecurityaslocal, routeconnectionsecurity, routetreatsenderaslocaldomain)
  VALUES ('sub.example.com', 'Weiterleitung sub.example.com', 'mx.sub.example.com', 25, 4, 15, 0, 0, '', '', 0, 0, 0);
INSERT INTO hm_routes (routedomainname, routedescription, routetargetsmthost, routetargetsmtport, routenooftries, routeminutesbetweentry, routealladdresses, routeuseauthentication, routeauthenticationusername, routeauthenticationpassword, routetreatsecurityaslocal, routeconnectionsecurity, routetreatsenderaslocaldomain)
  VALUES ('mail.example.net', 'Weiterleitung mail.example.net', 'mx.mail.example.net', 25, 4, 15, 0, 0, '', '', 0, 0, 0);

INSERT INTO hm_routeaddresses (routeaddressrouteid, routeaddressaddress)
  SELECT routeid, 'alice@example.com' FROM hm_routes WHERE routedomainname = 'example.com';
INSERT INTO hm_routeaddresses (routeaddressrouteid, routeaddressaddress)
  SELECT routeid, 'Bob@Example.com' FROM hm_routes WHERE routedomainname = 'example.com';
INSERT INTO hm_routeaddresses (routeaddressrouteid, routeaddressaddress)
  SELECT routeid, 'carol@example.com' FROM hm_routes WHERE routedomainname = 'example.com';
INSERT INTO hm_routeaddresses (routeaddressrouteid, routeaddressaddress)
  SELECT routeid, 'postmaster@example.com' FROM hm_routes WHERE routedomainname = 'example.com';
INSERT INTO hm_routeaddresses (routeaddressrouteid, routeaddressaddress)
  SELECT routeid, 'info@example.org' FROM hm_routes WHERE routedomainname = 'example.org';
INSERT INTO hm_routeaddresses (routeaddressrouteid, routeaddressaddress)
  SELECT routeid, 'dave@example.org' FROM hm_routes WHERE routedomainname = 'example.org';
INSERT INTO hm_routeaddresses (routeaddressrouteid, routeaddressaddress)
  SELECT routeid, 'erin@example.org' FROM hm_routes WHERE routedomainname = 'example.org';
INSERT INTO hm_routeaddresses (routeaddressrouteid, routeaddressaddress)
  SELECT routeid, 'frank@sub.example.com' FROM hm_routes WHERE routedomainname = 'sub.example.com';
INSERT INTO hm_routeaddresses (routeaddressrouteid, routeaddressaddress)
  SELECT routeid, 'grace@sub.example.com' FROM hm_routes WHERE routedomainname = 'sub.example.com';
INSERT INTO hm_routeaddresses (routeaddressrouteid, routeaddressaddress)
  SELECT routeid, 'heidi@sub.example.com' FROM hm_routes WHERE routedomainname = 'sub.example.com';
INSERT INTO hm_routeaddresses (routeaddressrouteid, routeaddressaddress)
  SELECT routeid, 'ivan@mail.example.net' FROM hm_routes WHERE routedomainname = 'mail.example.net';
INSERT INTO hm_routeaddresses (routeaddressrouteid, routeaddressaddress)
  SELECT routeid, 'judy@mail.example.net' FROM hm_routes WHERE routedomainname = 'mail.example.net';
INSERT INTO hm_routeaddresses (routeaddressrouteid, routeaddressaddress)
  SELECT routeid, 'mallory@mail.example.net' FROM hm_routes WHERE routedomainname = 'mail.example.net';
INSERT INTO hm_routeaddresses (routeaddressrouteid, routeaddressaddress)
  SELECT routeid, 'oscar@mail.example.net' FROM hm_routes WHERE routedomainname = 'mail.example.net';
